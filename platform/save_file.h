// Saving a file without ever destroying the previous one: the bytes go to a
// temporary file beside it, which replaces the old file only when everything
// was written, flushed and closed.  Every file the program writes (liners,
// formats, exports, PDFs, pictures of the liner, recovery copies) goes
// through here.
#pragma once

#include <QIODevice>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// The file-system calls a save makes.  Tests put their own in place to make
// any one call fail.
class SaveFileSystem {
public:
    virtual ~SaveFileSystem() = default;
    virtual int Open(const std::string& path, int flags, mode_t mode);
    virtual ssize_t Write(int fd, const void* data, size_t size);
    virtual int Flush(int fd);
    virtual int Close(int fd);
    virtual int Rename(const std::string& from, const std::string& to);
    virtual int Unlink(const std::string& path);
};

// The file system saves go through; nullptr restores the real one.
void SetSaveFileSystem(SaveFileSystem* fs);
SaveFileSystem& CurrentSaveFileSystem();

enum class SaveError {
    None,
    Create,  // the file (or its temporary) could not be created, or the target is no file to replace
    Write,   // writing, flushing, closing or replacing failed
};

// Whether `path` names a regular file (through links).  Reading anything
// else (a pipe, a device) can block or never end.
bool IsRegularFile(const std::string& path);
// The bytes of a regular file (through links) of at most `limit` bytes;
// nothing for a larger file or anything else (a pipe would wait for a
// writer, a device may never end).  Never blocks.
std::optional<QByteArray> ReadRegularFile(const std::string& path, qint64 limit);

// A file being saved, written piece by piece (a PDF or SVG writer streams
// into it).  Open() creates the temporary file beside the target; Commit()
// flushes it to the disk and puts it in the target's place; a device that
// is destroyed or cancelled without a commit leaves the target as it was.
//
// The target may be a link (the file it points to is replaced).  A target
// that exists and is no regular file is never replaced: a character device
// (/dev/stdout on a terminal, /dev/null) or a pipe that is being read is
// written straight into, anything else is refused (SaveError::Create), and
// nothing ever waits for a reader to appear.
class SaveFileDevice : public QIODevice {
public:
    explicit SaveFileDevice(std::string path);
    ~SaveFileDevice() override;

    // Opens for writing (the mode is taken as WriteOnly).  False with
    // error() set when the file cannot be created.
    bool open(OpenMode mode = WriteOnly) override;
    // Flushes, closes and replaces the target.  Any failed write before
    // makes it fail too; the temporary file is removed then.
    SaveError Commit();
    // Drops what was written; the target stays as it was.
    void Cancel();
    SaveError error() const { return error_; }
    const std::string& path() const { return path_; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

private:
    std::string path_, temp_;
    int fd_ = -1;
    bool straight_ = false;  // writing into the device or pipe itself
    SaveError error_ = SaveError::None;
};

SaveError SaveFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes);

// For writers that only take a file name (QPrinter): a new empty temporary
// file beside `target`, to be written and then put in place with
// ReplaceWithWritten, or removed.  Empty (SaveError::Create) when `target`
// exists and is no regular file, is not writable, or the folder takes no
// new file.
std::string CreateTemporaryBeside(const std::string& target);
// Flushes `temporary` to the disk and renames it over `target`; on failure
// the temporary is removed and the target stays as it was.
SaveError ReplaceWithWritten(const std::string& temporary, const std::string& target);
SaveError SaveFileAtomically(const std::string& path, const QByteArray& bytes);
