// Covers from the music: pictures embedded in FLAC, Ogg, MP3 and M4A files
// (written here through the tag library), images beside the files, and the
// cover file written beside the liner.
#include <gtest/gtest.h>

#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4coverart.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpegfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/xiphcomment.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QBuffer>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>

#include "songs/covers.h"
#include "songs/songs_test_support.h"

namespace {

QByteArray Png(int width, QColor colour) {
    QImage image(width, 10, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

TagLib::ByteVector Vector(const QByteArray& b) { return TagLib::ByteVector(b.constData(), static_cast<unsigned>(b.size())); }

TagLib::FLAC::Picture* FlacPicture(const QByteArray& bytes, TagLib::FLAC::Picture::Type type) {
    auto* p = new TagLib::FLAC::Picture;
    p->setType(type);
    p->setMimeType("image/png");
    p->setData(Vector(bytes));
    return p;
}

// Ten MPEG-1 Layer III frames of silence: enough for the tag library.
void WriteMp3(const QString& path) {
    QByteArray frames;
    for (int i = 0; i < 10; ++i) {
        QByteArray frame(417, '\0');
        frame[0] = '\xFF';
        frame[1] = '\xFB';
        frame[2] = '\x90';
        frame[3] = '\x64';
        frames += frame;
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(frames);
}

QByteArray Atom(const char* type, const QByteArray& body) {
    char size[4];
    qToBigEndian(static_cast<quint32>(8 + body.size()), size);
    return QByteArray(size, 4) + type + body;
}

// The smallest MP4 file the tag library opens: a file type and a movie
// header.
void WriteM4a(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(Atom("ftyp", QByteArray("M4A ") + QByteArray(4, '\0') + "M4A isom"));
    f.write(Atom("moov", Atom("mvhd", QByteArray(100, '\0'))));
}

}  // namespace

// Each kind of file gives its front cover, chosen over other pictures; a
// folder without pictures in its files gives the image named after the
// first of cover, folder, front, album.
TEST(Covers, EmbeddedAndBesideTheFiles) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray front = Png(30, Qt::red), back = Png(20, Qt::blue);
    auto path = [&](const QString& name) { return dir.filePath(name); };

    WriteMp3(path("a.mp3"));
    {
        TagLib::MPEG::File f(QFile::encodeName(path("a.mp3")).constData());
        ASSERT_TRUE(f.isValid());
        for (auto [bytes, type] : {std::pair{back, TagLib::ID3v2::AttachedPictureFrame::BackCover},
                                   std::pair{front, TagLib::ID3v2::AttachedPictureFrame::FrontCover}}) {
            auto* frame = new TagLib::ID3v2::AttachedPictureFrame;
            frame->setType(type);
            frame->setMimeType("image/png");
            frame->setPicture(Vector(bytes));
            f.ID3v2Tag(true)->addFrame(frame);
        }
        ASSERT_TRUE(f.save());
    }
    WriteM4a(path("a.m4a"));
    {
        TagLib::MP4::File f(QFile::encodeName(path("a.m4a")).constData(), false);
        ASSERT_TRUE(f.isValid());
        TagLib::MP4::CoverArtList covers;
        covers.append(TagLib::MP4::CoverArt(TagLib::MP4::CoverArt::PNG, Vector(front)));
        f.tag()->setItem("covr", covers);
        ASSERT_TRUE(f.save());
    }
    std::vector<QString> files = {path("a.mp3"), path("a.m4a")};

    songs_test::WriteWav(path("a.wav"), 1);
    const QString flac = QStandardPaths::findExecutable("flac");
    if (!flac.isEmpty()) {
        ASSERT_EQ(QProcess::execute(flac, {"--silent", "-f", "-o", path("a.flac"), path("a.wav")}), 0);
        ASSERT_EQ(QProcess::execute(flac, {"--silent", "-f", "--ogg", "-o", path("a.oga"), path("a.wav")}), 0);
        {
            TagLib::FLAC::File f(QFile::encodeName(path("a.flac")).constData());
            f.addPicture(FlacPicture(back, TagLib::FLAC::Picture::BackCover));
            f.addPicture(FlacPicture(front, TagLib::FLAC::Picture::FrontCover));
            ASSERT_TRUE(f.save());
        }
        {
            TagLib::Ogg::FLAC::File f(QFile::encodeName(path("a.oga")).constData());
            ASSERT_TRUE(f.isValid());
            f.tag()->addPicture(FlacPicture(front, TagLib::FLAC::Picture::FrontCover));
            ASSERT_TRUE(f.save());
        }
        files.push_back(path("a.flac"));
        files.push_back(path("a.oga"));
    }
    for (const QString& file : files) {
        const std::optional<CoverImage> cover = EmbeddedCover(file);
        ASSERT_TRUE(cover) << file.toStdString();
        EXPECT_EQ(cover->bytes, front) << file.toStdString();
        EXPECT_EQ(cover->extension, "png");
    }
    EXPECT_FALSE(EmbeddedCover(path("a.wav")));

    // Files without pictures: the images beside them, by name.
    QDir(dir.path()).mkdir("plain");
    songs_test::WriteWav(path("plain/1.wav"), 1);
    for (auto [name, bytes] : {std::pair{"album.png", back}, std::pair{"Folder.PNG", front},
                               std::pair{"notes.png", back}}) {
        QFile f(path("plain/") + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    Track song;
    song.file = path("plain/1.wav");
    std::optional<CoverImage> cover = FindCover({song});
    ASSERT_TRUE(cover);
    EXPECT_EQ(cover->bytes, front);
    EXPECT_TRUE(cover->source.endsWith("Folder.PNG"));
    // An embedded picture comes before the images beside the files.
    Track tagged;
    tagged.file = path("a.mp3");
    EXPECT_EQ(FindCover({song, tagged})->source, path("a.mp3"));

    // Beside the liner: the name, the same file again, a number for another.
    bool created = false;
    QString why;
    EXPECT_EQ(WriteCoverBeside(path("tape.cas"), *cover, &created, &why), "tape-cover.png");
    EXPECT_TRUE(created);
    EXPECT_EQ(WriteCoverBeside(path("tape.cas"), *cover, &created, &why), "tape-cover.png");
    EXPECT_FALSE(created);
    EXPECT_EQ(WriteCoverBeside(path("tape.cas"), *CoverFromBytes(back, "x"), &created, &why), "tape-cover-2.png");
    QFile written(path("tape-cover.png"));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), front);
}

TEST(Covers, TheSearchReadsOnlyRegularFilesAndGivesUpOnHugeOnes) {
    QTemporaryDir dir;
    auto path = [&](const QString& name) { return dir.filePath(name); };
    // A sparse 4 GB file with an audio name, zeros all through; beside it a
    // cover that is a link to a pipe nobody writes, a folder picture that is
    // a link to an endless device, and the one true picture.
    {
        QFile huge(path("huge.mp3"));
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
        ASSERT_TRUE(huge.resize(qint64{4} << 30));
    }
    ASSERT_EQ(mkfifo(QFile::encodeName(path("pipe")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(path("pipe"), path("cover.jpg")));
    ASSERT_TRUE(QFile::link("/dev/zero", path("folder.png")));
    const QByteArray front = Png(6, Qt::red);
    {
        QFile f(path("front.png"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(front);
    }
    Track song;
    song.file = path("huge.mp3");
    QElapsedTimer clock;
    clock.start();
    const std::optional<CoverImage> cover = FindCover({song});
    ASSERT_TRUE(cover);
    EXPECT_EQ(cover->bytes, front);
    EXPECT_LT(clock.elapsed(), 30'000);

    TrackReadControl control;
    control.cancel = true;
    EXPECT_FALSE(FindCover({song}, &control));
}

TEST(Covers, ACoverThatFindsTheDiskFullLeavesNoFileBehind) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root (in a private mount namespace)";
    QTemporaryDir dir;
    const QString folder = dir.filePath("full");
    ASSERT_TRUE(QDir().mkpath(folder));
    const std::optional<CoverImage> cover = CoverFromBytes(Png(400, Qt::blue), "x");
    ASSERT_TRUE(cover);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const QByteArray name = QFile::encodeName(folder);
        if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("reelcard-test", name.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k,mode=0700") != 0) {
            _exit(77);
        }
        // Full to the last byte; new files can still be made, but not written.
        std::vector<char> block(4096, 'x');
        const int filler = open((name + "/filler").constData(), O_WRONLY | O_CREAT, 0600);
        for (size_t size = block.size(); filler >= 0 && size > 0;) {
            if (write(filler, block.data(), size) < 0) size /= 2;
        }
        bool created = true;
        QString why;
        const bool written = WriteCoverBeside(folder + "/tape.cas", *cover, &created, &why).has_value();
        const QStringList left = QDir(folder).entryList({"*tape*"}, QDir::Files | QDir::System | QDir::Hidden);
        _exit(!written && !created && !why.isEmpty() && left.isEmpty() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no private tmpfs here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the cover was taken as written, or a file of it was left";
}
