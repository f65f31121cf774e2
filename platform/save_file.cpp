#include "platform/save_file.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int SaveFileSystem::Open(const std::string& path, int flags, mode_t mode) {
    return ::open(path.c_str(), flags | O_CLOEXEC, mode);
}
ssize_t SaveFileSystem::Write(int fd, const void* data, size_t size) {
    return ::write(fd, data, size);
}
int SaveFileSystem::Flush(int fd) { return ::fsync(fd); }
int SaveFileSystem::Close(int fd) { return ::close(fd); }
int SaveFileSystem::Rename(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str());
}
int SaveFileSystem::Unlink(const std::string& path) { return ::unlink(path.c_str()); }

namespace {

SaveFileSystem* g_override = nullptr;

// Saving onto a link replaces the file it points to, not the link.
std::string ResolveTarget(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved)) return resolved;
    }
    return path;
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Opens a device or pipe to write straight into it, without waiting: a pipe
// nobody reads fails at once instead of blocking until a reader comes.
int OpenStraight(SaveFileSystem& fs, const std::string& path) {
    const int fd = fs.Open(path, O_WRONLY | O_NOCTTY | O_NONBLOCK, 0);
    if (fd < 0) return -1;
    struct stat st;
    // The node may have been swapped since it was looked at.
    if (::fstat(fd, &st) != 0 || !(S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))) {
        fs.Close(fd);
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

// Creates the temporary file a save writes first, in the target's folder so
// that the rename stays on one file system.  -1 when it cannot be made.
int OpenTemporaryBeside(SaveFileSystem& fs, const std::string& path, const struct stat* existing, std::string& temp) {
    // A file the user may not write stays as it is, as if it could not be created.
    if (existing && ::access(path.c_str(), W_OK) != 0) return -1;
    static unsigned counter = 0;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temp = FolderOf(path) + "/." + NameOf(path) + "." + std::to_string(::getpid()) + "." +
               std::to_string(++counter) + ".tmp";
        fd = fs.Open(temp, O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        temp.clear();
        return -1;
    }
    if (existing) (void)::fchmod(fd, existing->st_mode & 07777);
    return fd;
}

}  // namespace

void SetSaveFileSystem(SaveFileSystem* fs) { g_override = fs; }

SaveFileSystem& CurrentSaveFileSystem() {
    static SaveFileSystem real;
    return g_override ? *g_override : real;
}

bool IsRegularFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::optional<QByteArray> ReadRegularFile(const std::string& path, qint64 limit) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > limit) return std::nullopt;
    // Opened without waiting, and checked again: the name may lead elsewhere by now.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > limit) {
        ::close(fd);
        return std::nullopt;
    }
    QByteArray bytes;
    bytes.resize(static_cast<qsizetype>(st.st_size));
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    bytes.truncate(done);
    ::close(fd);
    return bytes;
}

SaveFileDevice::SaveFileDevice(std::string path) : path_(std::move(path)) {}

SaveFileDevice::~SaveFileDevice() { Cancel(); }

bool SaveFileDevice::open(OpenMode) {
    if (isOpen()) return false;
    SaveFileSystem& fs = CurrentSaveFileSystem();
    const std::string path = ResolveTarget(path_);
    error_ = SaveError::Create;

    struct stat existing;
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        if (!S_ISCHR(existing.st_mode) && !S_ISFIFO(existing.st_mode)) return false;
        fd_ = OpenStraight(fs, path);
        if (fd_ < 0) return false;
        straight_ = true;
    } else {
        fd_ = OpenTemporaryBeside(fs, path, exists ? &existing : nullptr, temp_);
        if (fd_ < 0) return false;
        straight_ = false;
    }
    error_ = SaveError::None;
    return QIODevice::open(WriteOnly | Unbuffered);
}

qint64 SaveFileDevice::writeData(const char* data, qint64 size) {
    if (fd_ < 0 || error_ != SaveError::None) return -1;
    SaveFileSystem& fs = CurrentSaveFileSystem();
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = fs.Write(fd_, data + done, static_cast<size_t>(size - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // Remembered, so that a writer that ignores the result still fails the commit.
            error_ = SaveError::Write;
            return -1;
        }
        done += n;
    }
    return done;
}

SaveError SaveFileDevice::Commit() {
    if (fd_ < 0) return error_ == SaveError::None ? SaveError::Create : error_;
    SaveFileSystem& fs = CurrentSaveFileSystem();
    bool good = error_ == SaveError::None;
    // A terminal or a pipe cannot be synced; what it took is gone anyway.
    if (good && !straight_ && fs.Flush(fd_) != 0) good = false;
    if (fs.Close(fd_) != 0) good = false;
    fd_ = -1;
    QIODevice::close();
    if (!straight_) {
        if (good && fs.Rename(temp_, ResolveTarget(path_)) != 0) good = false;
        if (!good) fs.Unlink(temp_);
        temp_.clear();
    }
    error_ = good ? SaveError::None : SaveError::Write;
    return error_;
}

void SaveFileDevice::Cancel() {
    if (fd_ < 0) return;
    SaveFileSystem& fs = CurrentSaveFileSystem();
    fs.Close(fd_);
    fd_ = -1;
    if (!straight_) fs.Unlink(temp_);
    temp_.clear();
    QIODevice::close();
}

SaveError SaveFileAtomically(const std::string& path, const QByteArray& bytes) {
    SaveFileDevice file(path);
    if (!file.open()) return file.error();
    (void)file.write(bytes);
    return file.Commit();
}

SaveError SaveFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
    return SaveFileAtomically(
        path, QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
}

std::string CreateTemporaryBeside(const std::string& target) {
    SaveFileSystem& fs = CurrentSaveFileSystem();
    const std::string path = ResolveTarget(target);
    struct stat existing;
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) return {};
    std::string temp;
    const int fd = OpenTemporaryBeside(fs, path, exists ? &existing : nullptr, temp);
    if (fd < 0) return {};
    if (fs.Close(fd) != 0) {
        fs.Unlink(temp);
        return {};
    }
    return temp;
}

SaveError ReplaceWithWritten(const std::string& temporary, const std::string& target) {
    SaveFileSystem& fs = CurrentSaveFileSystem();
    const int fd = fs.Open(temporary, O_WRONLY, 0);
    bool good = fd >= 0;
    if (good && fs.Flush(fd) != 0) good = false;
    if (fd >= 0 && fs.Close(fd) != 0) good = false;
    if (good && fs.Rename(temporary, ResolveTarget(target)) != 0) good = false;
    if (!good) {
        fs.Unlink(temporary);
        return SaveError::Write;
    }
    return SaveError::None;
}
