// Saves that fail part-way, at every file-system call a save makes, and one
// save onto a file system that is really full.
#include <gtest/gtest.h>

#include <QDir>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "document/liner_file.h"
#include "platform/save_file.h"
#include "support/test_support.h"

namespace {

// How the chosen call fails.
enum class Failure {
    PermissionDenied,  // EACCES
    DiskFull,          // ENOSPC
    IoError,           // EIO
    ShortWrite,        // part of the bytes go, then the device takes no more
};

const char* Name(Failure f) {
    switch (f) {
        case Failure::PermissionDenied: return "permission denied";
        case Failure::DiskFull: return "disk full";
        case Failure::IoError: return "I/O error";
        case Failure::ShortWrite: return "short write";
    }
    return "?";
}

// The real file system, with writes cut into small pieces so that a save
// makes many write calls, and call number `failAt` (counting every open,
// write, flush, close and rename, from 1) failing as chosen.  failAt 0 only
// counts.
class FailAtCall : public SaveFileSystem {
public:
    enum Op { kOpen, kWrite, kFlush, kClose, kRename };
    static constexpr size_t kPiece = 256;

    FailAtCall(int failAt, Failure failure) : failAt_(failAt), failure_(failure) {}

    int Open(const std::string& p, int f, mode_t m) override {
        if (Hit(kOpen)) return Fail(-1);
        return SaveFileSystem::Open(p, f, m);
    }
    ssize_t Write(int fd, const void* d, size_t s) override {
        if (deviceFull_) return 0;
        if (Hit(kWrite)) {
            if (failure_ != Failure::ShortWrite) return Fail(-1);
            deviceFull_ = true;
            return SaveFileSystem::Write(fd, d, std::min(s, kPiece) / 2);
        }
        return SaveFileSystem::Write(fd, d, std::min(s, kPiece));
    }
    int Flush(int fd) override {
        if (Hit(kFlush)) return Fail(-1);
        return SaveFileSystem::Flush(fd);
    }
    int Close(int fd) override {
        // The descriptor is gone either way, as with a real close that fails.
        const int r = SaveFileSystem::Close(fd);
        return Hit(kClose) ? Fail(-1) : r;
    }
    int Rename(const std::string& a, const std::string& b) override {
        if (Hit(kRename)) return Fail(-1);
        return SaveFileSystem::Rename(a, b);
    }

    int calls() const { return calls_; }
    bool failed() const { return failedOp_ >= 0; }
    Op failedOp() const { return static_cast<Op>(failedOp_); }

private:
    bool Hit(Op op) {
        if (++calls_ != failAt_) return false;
        failedOp_ = op;
        return true;
    }
    int Fail(int result) {
        switch (failure_) {
            case Failure::PermissionDenied: errno = EACCES; break;
            case Failure::DiskFull: errno = ENOSPC; break;
            case Failure::IoError:
            case Failure::ShortWrite: errno = EIO; break;
        }
        return result;
    }

    int failAt_;
    Failure failure_;
    int calls_ = 0;
    int failedOp_ = -1;
    bool deviceFull_ = false;
};

class UseFileSystem {
public:
    explicit UseFileSystem(SaveFileSystem* fs) { SetSaveFileSystem(fs); }
    ~UseFileSystem() { SetSaveFileSystem(nullptr); }
};

// A Liner of a few kilobytes in which every font is used, so that the font
// compaction every save makes leaves it exactly as it is.
Liner BigLiner() {
    Liner l;
    EnsureStandardFonts(l);
    l.title = {1, "\x01\x04Safe saves"};
    std::string songs;
    for (int i = 1; i <= 120; ++i) {
        if (i > 1) songs += "\r\n";
        songs += "\x01\x05Song number " + std::to_string(i) + "\xBB" "3:2" + std::to_string(i % 10);
    }
    l.songsA = {120, songs};
    l.songsB = {120, songs};
    for (auto& letter : l.sideLetters) letter.text = "\x01\x01" "A";
    Feature f;
    f.style = kFeatureCenteredWithSides;
    f.name = "\x01\x02Tape";
    f.sides[0].choices = {"\x01\x03" "Chrome", "Normal"};
    f.sides[1].choices = {"Metal"};
    l.features.push_back(f);
    l.tabStopsText = "1.5";
    ParseTabStops(l);
    l.overflowCount = 1;
    return l;
}

QStringList FolderEntries(const std::string& folder) {
    return QDir(QString::fromStdString(folder))
        .entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

using SaveFn = bool (*)(Liner&, const std::string&, Prompter&, uint16_t*);

struct SaveKind {
    const char* name;
    SaveFn save;
    FileKind kind;
};

const SaveKind kSaves[] = {
    {"liner", &WriteLinerFile, FileKind::Liner},
    {"format", &WriteFormatFile, FileKind::Format},
};

// Counts the calls of one successful save.
int CallsOfOneSave(const SaveKind& save, const Liner& liner, const std::string& path) {
    Liner copy = liner;
    FailAtCall counter(0, Failure::IoError);
    UseFileSystem use(&counter);
    ScriptedPrompter prompter;
    EXPECT_TRUE(save.save(copy, path, prompter, nullptr));
    return counter.calls();
}

TEST(SafeSave, EveryFailingCallKeepsTheOldFileAndTellsTheUser) {
    const Liner liner = BigLiner();
    {
        Liner compacted = liner;
        CompactFonts(compacted, nullptr);
        ASSERT_EQ(compacted, liner) << "the test Liner must survive font compaction unchanged";
    }
    for (const SaveKind& save : kSaves) {
        for (const bool exists : {true, false}) {
            TempFolder dir;
            ASSERT_TRUE(dir.ok());
            const std::string path = dir.Path(std::string("keep.") + (save.kind == FileKind::Liner ? "cas" : "fmt"));
            const std::vector<uint8_t> original = {5, 0, 7, 0, 'o', 'l', 'd'};

            if (exists) WriteBytes(path, original);
            const int calls = CallsOfOneSave(save, liner, path);
            // Open, several writes, flush, close, rename.
            ASSERT_GE(calls, 8) << save.name;
            auto written = SerializeLiner(liner, save.kind);
            ASSERT_TRUE(written);
            EXPECT_EQ(ReadBytes(path), *written) << save.name;

            int seen[5] = {};
            for (int n = 1; n <= calls; ++n) {
                for (Failure failure : {Failure::PermissionDenied, Failure::DiskFull, Failure::IoError,
                                        Failure::ShortWrite}) {
                    if (exists) {
                        WriteBytes(path, original);
                    } else {
                        ::unlink(path.c_str());
                    }
                    const std::string where = std::string(save.name) + (exists ? " over a file" : " new") +
                                              ", call " + std::to_string(n) + ", " + Name(failure);
                    FailAtCall fs(n, failure);
                    ScriptedPrompter prompter;
                    Liner work = liner;
                    bool ok;
                    {
                        UseFileSystem use(&fs);
                        ok = save.save(work, path, prompter, nullptr);
                    }
                    ASSERT_TRUE(fs.failed()) << where;
                    if (failure == Failure::ShortWrite && fs.failedOp() != FailAtCall::kWrite) continue;
                    ++seen[fs.failedOp()];

                    EXPECT_FALSE(ok) << where;
                    if (exists) {
                        EXPECT_EQ(ReadBytes(path), original) << where;
                        EXPECT_EQ(FolderEntries(dir.Path("")), QStringList{QString::fromStdString(FileTitle(path))})
                            << "temporary file left behind: " << where;
                    } else {
                        EXPECT_TRUE(FolderEntries(dir.Path("")).isEmpty()) << "file left behind: " << where;
                    }
                    ASSERT_EQ(prompter.shown.size(), 1u) << where;
                    const std::string expected = fs.failedOp() == FailAtCall::kOpen
                                                     ? "Cannot create file '" + path + "'"
                                                     : "Cannot write file '" + path + "' to disk";
                    EXPECT_EQ(prompter.shown[0].text, expected) << where;
                    EXPECT_EQ(prompter.shown[0].style.icon, MessageIcon::Exclamation) << where;
                    EXPECT_EQ(prompter.busyDepth, 0) << where;
                    // The Liner keeps what the user made; the caller keeps it modified.
                    EXPECT_EQ(work, liner) << where;
                }
            }
            // Every kind of call was made to fail at least once.
            for (int op = FailAtCall::kOpen; op <= FailAtCall::kRename; ++op) {
                EXPECT_GT(seen[op], 0) << save.name << " op " << op;
            }
            EXPECT_GT(seen[FailAtCall::kWrite], 3 * 4) << "several write calls per save";

            // And a save that nothing stops still replaces the file.
            Liner work = liner;
            ScriptedPrompter prompter;
            EXPECT_TRUE(save.save(work, path, prompter, nullptr));
            EXPECT_EQ(ReadBytes(path), *written);
            EXPECT_EQ(FolderEntries(dir.Path("")).size(), 1);
        }
    }
}

// A failed save leaves the Liner as a successful one would: the font
// compaction that precedes every write has run, nothing else has changed.
TEST(SafeSave, AFailedSaveOnlyCompactsTheFonts) {
    Liner liner = BigLiner();
    FontEntry unused;
    unused.logFont.SetFaceName("Unused");
    FontEntry used;
    used.logFont.SetFaceName("Used");
    liner.fonts.push_back(unused);
    liner.fonts.push_back(used);
    liner.title.text += "\x01\x07!";
    Liner expected = liner;
    uint16_t expectedLast = 7;
    CompactFonts(expected, &expectedLast);
    ASSERT_EQ(expected.fonts.size(), 6u);
    ASSERT_EQ(expectedLast, 6);

    TempFolder dir;
    const std::string path = dir.Path("fonts.cas");
    for (int n = 1; n <= 3; ++n) {
        FailAtCall fs(n, Failure::DiskFull);
        Liner work = liner;
        uint16_t last = 7;
        ScriptedPrompter prompter;
        {
            UseFileSystem use(&fs);
            EXPECT_FALSE(WriteLinerFile(work, path, prompter, &last));
        }
        EXPECT_EQ(work, expected) << "call " << n;
        EXPECT_EQ(last, expectedLast) << "call " << n;
    }
}

// --- a real full file system -------------------------------------------------

// Exit codes of the child that does the work.
constexpr int kChildPassed = 0;
constexpr int kChildCannotSetUp = 77;

// In a private mount namespace, mounts a small tmpfs on `folder`, puts an old
// liner file there, fills the rest, and saves a bigger Liner over the old
// file.  Writes what went wrong to `report` and returns an exit code.
int SaveOntoFullFileSystem(const std::string& folder, int report) {
    auto say = [report](const std::string& text) {
        (void)!::write(report, text.data(), text.size());
        (void)!::write(report, "\n", 1);
    };
    if (::unshare(CLONE_NEWNS) != 0) {
        say(std::string("unshare(CLONE_NEWNS): ") + std::strerror(errno));
        return kChildCannotSetUp;
    }
    if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("reelcard-test", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k,mode=0700") != 0) {
        say(std::string("mount: ") + std::strerror(errno));
        return kChildCannotSetUp;
    }

    int failures = 0;
    auto check = [&](bool good, const std::string& what) {
        if (!good) {
            say(what);
            ++failures;
        }
    };

    const std::string path = folder + "/album.cas";
    Liner old;
    EnsureStandardFonts(old);
    old.title = {1, "the old one"};
    ScriptedPrompter prompter;
    check(WriteLinerFile(old, path, prompter), "the old file could not be saved on the empty tmpfs");
    const std::vector<uint8_t> before = ReadBytes(path);
    check(!before.empty(), "the old file is empty");

    // Fill the file system to the last byte.
    const int filler = ::open((folder + "/filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char> block(4096, 'x');
    for (size_t size = block.size(); filler >= 0 && size > 0;) {
        if (::write(filler, block.data(), size) < 0) {
            if (errno != ENOSPC) break;
            size /= 2;
        }
    }
    if (filler >= 0) ::close(filler);

    Liner bigger = BigLiner();
    const Liner unchanged = bigger;
    ScriptedPrompter full;
    check(!WriteLinerFile(bigger, path, full), "saving onto a full file system reported success");
    check(ReadBytes(path) == before, "the old file changed");
    check(FolderEntries(folder) == QStringList({"album.cas", "filler"}),
          "left behind: " + FolderEntries(folder).join(' ').toStdString());
    // The temporary file is created (tmpfs is out of space, not of files);
    // its bytes are what cannot be written.
    check(full.shown.size() == 1 && full.LastText() == "Cannot write file '" + path + "' to disk",
          "message: " + full.LastText());
    check(bigger == unchanged, "the Liner changed");
    ::umount(folder.c_str());
    return failures == 0 ? kChildPassed : 1;
}

TEST(SafeSave, FullFileSystemKeepsTheOldFile) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root (in a private mount namespace)";
    TempFolder dir;
    ASSERT_TRUE(dir.ok());
    const std::string folder = dir.Path("full");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);

    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeFds[0]);
        ::_exit(SaveOntoFullFileSystem(folder, pipeFds[1]));
    }
    ::close(pipeFds[1]);
    std::string report;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) report.append(buffer, static_cast<size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the saving child died: " << report;
    if (WEXITSTATUS(status) == kChildCannotSetUp) GTEST_SKIP() << "no private tmpfs here: " << report;
    EXPECT_EQ(WEXITSTATUS(status), kChildPassed) << report;
}

}  // namespace
