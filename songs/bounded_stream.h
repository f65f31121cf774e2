// An audio file as the tag library sees it, read within bounds: past a
// number of bytes or a time, or when the reading is cancelled, every read
// comes back empty (as at the file's end).  Whatever the library made of a
// file given up on is to be dropped.  Large files that only carry an audio
// name (a sparse file of gigabytes) would otherwise be scanned to the end.
#pragma once

#include <taglib/tfilestream.h>
#include <taglib/tiostream.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <atomic>

#include "songs/track_list.h"

class BoundedStream : public TagLib::IOStream {
public:
    BoundedStream(const QByteArray& name, const TrackReadControl& control)
        : file_(name.constData(), true), control_(control) {
        clock_.start();
    }
    bool GaveUp() const { return gaveUp_; }

    TagLib::FileName name() const override { return file_.name(); }
    TagLib::ByteVector readBlock(unsigned long length) override {
        read_ += static_cast<qint64>(length);
        if (read_ > control_.maxTagBytes || clock_.elapsed() > control_.maxTagMilliseconds ||
            control_.cancel.load(std::memory_order_relaxed)) {
            gaveUp_ = true;
        }
        if (gaveUp_) return {};
        return file_.readBlock(length);
    }
    void writeBlock(const TagLib::ByteVector&) override {}
    void insert(const TagLib::ByteVector&, unsigned long, unsigned long) override {}
    void removeBlock(unsigned long, unsigned long) override {}
    bool readOnly() const override { return true; }
    bool isOpen() const override { return file_.isOpen(); }
    void seek(long offset, Position p) override { file_.seek(offset, p); }
    void clear() override { file_.clear(); }
    long tell() const override { return file_.tell(); }
    long length() override { return file_.length(); }
    void truncate(long) override {}

private:
    TagLib::FileStream file_;
    const TrackReadControl& control_;
    QElapsedTimer clock_;
    qint64 read_ = 0;
    bool gaveUp_ = false;
};
