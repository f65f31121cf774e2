// Saving a file without ever destroying the previous one: the bytes go to a
// temporary file beside it, which replaces the old file only when everything
// was written, flushed and closed.
#pragma once

#include <cstddef>
#include <cstdint>
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
    Create,  // the file (or its temporary) could not be created
    Write,   // writing, flushing, closing or replacing failed
};

SaveError SaveFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes);
