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

}  // namespace

void SetSaveFileSystem(SaveFileSystem* fs) { g_override = fs; }

SaveFileSystem& CurrentSaveFileSystem() {
    static SaveFileSystem real;
    return g_override ? *g_override : real;
}

SaveError SaveFileAtomically(const std::string& requestedPath, const std::vector<uint8_t>& bytes) {
    SaveFileSystem& fs = CurrentSaveFileSystem();
    const std::string path = ResolveTarget(requestedPath);

    struct stat existing;
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    if (exists) {
        // A file the user may not write stays as it is, as if it could not be created.
        if (S_ISDIR(existing.st_mode) || ::access(path.c_str(), W_OK) != 0) return SaveError::Create;
    }

    std::string temp;
    int fd = -1;
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temp = FolderOf(path) + "/." + NameOf(path) + "." + std::to_string(::getpid()) + "." +
               std::to_string(++counter) + ".tmp";
        fd = fs.Open(temp, O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return SaveError::Create;
    if (exists) (void)::fchmod(fd, existing.st_mode & 07777);

    bool good = true;
    size_t done = 0;
    while (good && done < bytes.size()) {
        ssize_t n = fs.Write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            good = false;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (good && fs.Flush(fd) != 0) good = false;
    if (fs.Close(fd) != 0) good = false;
    if (good && fs.Rename(temp, path) != 0) good = false;
    if (!good) {
        fs.Unlink(temp);
        return SaveError::Write;
    }
    return SaveError::None;
}
