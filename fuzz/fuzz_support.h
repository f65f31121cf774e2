// Helpers shared by the fuzz targets.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace fuzz {

// The picture readers take a file name.  The input is handed to them as an
// anonymous in-memory file reached through /proc/self/fd, so nothing touches
// the disk and the readers run unchanged.
class MemoryFile {
public:
    MemoryFile(const uint8_t* data, size_t size) {
        fd_ = memfd_create("reelcard-fuzz", MFD_CLOEXEC);
        if (fd_ < 0) {
            std::perror("memfd_create");
            std::abort();
        }
        size_t done = 0;
        while (done < size) {
            ssize_t n = ::write(fd_, data + done, size - done);
            if (n <= 0) std::abort();
            done += static_cast<size_t>(n);
        }
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    ~MemoryFile() { ::close(fd_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    const char* path() const { return path_.c_str(); }

private:
    int fd_ = -1;
    std::string path_;
};

inline uint32_t Le32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

// Reads every byte a PackedDib's own header says it holds: the header, the
// colour table and, for a full bitmap, height rows of the header's stride.  A
// block shorter than its header claims is caught here by the address
// sanitizer, before any drawing code would trip over it.
inline void TouchPackedDib(const void* dib, bool withPixels) {
    if (!dib) return;
    const uint8_t* p = static_cast<const uint8_t*>(dib);
    const uint32_t headerSize = Le32(p);
    if (headerSize != 40) std::abort();
    const int32_t width = static_cast<int32_t>(Le32(p + 4));
    const int32_t height = static_cast<int32_t>(Le32(p + 8));
    const uint16_t bitCount = static_cast<uint16_t>(p[14] | (p[15] << 8));
    const uint32_t colours = Le32(p + 32);
    if (width <= 0 || height <= 0) std::abort();  // the readers promise bottom-up, non-empty
    size_t extent = 40 + size_t{colours} * 4;
    if (withPixels) {
        const uint64_t stride = (uint64_t(width) * bitCount + 31) / 32 * 4;
        extent += static_cast<size_t>(stride * uint64_t(height));
    }
    volatile uint8_t sink = 0;
    uint8_t sum = 0;
    for (size_t i = 0; i < extent; ++i) sum = static_cast<uint8_t>(sum + p[i]);
    sink = sum;
    (void)sink;
}

// The information call describes the picture the read call delivers: the
// same size, bit count and colour table.
inline void ExpectSamePicture(const void* info, const void* dib) {
    if (!info || !dib) return;
    const uint8_t* a = static_cast<const uint8_t*>(info);
    const uint8_t* b = static_cast<const uint8_t*>(dib);
    const uint32_t colours = Le32(a + 32);
    if (std::memcmp(a + 4, b + 4, 12) != 0 || colours != Le32(b + 32) ||
        std::memcmp(a + 40, b + 40, size_t{colours} * 4) != 0) {
        std::fprintf(stderr, "the information block and the bitmap disagree\n");
        std::abort();
    }
}

// Seed mode: with REELCARD_FUZZ_SEEDS=folder in the environment a target
// writes its seed corpus there and exits instead of fuzzing.
inline const char* SeedFolder() {
    const char* folder = std::getenv("REELCARD_FUZZ_SEEDS");
    return folder && *folder ? folder : nullptr;
}

// What every target's LLVMFuzzerInitialize does: in seed mode, `write` puts
// the seeds into the folder and the program ends; otherwise fuzzing goes on.
template <typename Write>
int WriteSeedsWhenAsked(Write write) {
    if (const char* folder = SeedFolder()) {
        write(folder);
        std::exit(0);
    }
    return 0;
}

inline void WriteSeed(const char* folder, const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = std::string(folder) + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "cannot write seed %s\n", path.c_str());
        std::exit(1);
    }
}

inline std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    uint8_t buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(f);
    return bytes;
}

// Little-endian building blocks for hand-made seeds.
inline void Put16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(std::vector<uint8_t>& b, uint32_t v) {
    Put16(b, static_cast<uint16_t>(v));
    Put16(b, static_cast<uint16_t>(v >> 16));
}

}  // namespace fuzz
