// Little-endian reading and writing of stored files.  The reader checks every
// length against what remains and fails, never reading past the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    explicit ByteReader(const std::vector<uint8_t>& bytes) : ByteReader(bytes.data(), bytes.size()) {}

    size_t remaining() const { return size_ - pos_; }
    size_t position() const { return pos_; }
    bool AtEnd() const { return pos_ == size_; }
    // Once a read has failed every further read fails too.
    bool ok() const { return ok_; }

    bool Seek(size_t pos);
    bool Skip(size_t n);
    bool U8(uint8_t& v);
    bool I8(int8_t& v);
    bool U16(uint16_t& v);
    bool I16(int16_t& v);
    bool U32(uint32_t& v);
    bool I32(int32_t& v);
    bool Bytes(void* out, size_t n);
    bool Bytes(std::string& out, size_t n);
    // A u16 length and that many bytes; the text stops at its first zero byte.
    bool String(std::string& out);
    // Bytes up to and including a zero byte, at most `limit` bytes away.
    bool ZeroTerminated(std::string& out, size_t limit);
    // A sub-reader over the next n bytes, which this reader skips.
    bool Sub(size_t n, ByteReader& sub);

private:
    bool Fail() { ok_ = false; return false; }
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

class ByteWriter {
public:
    void U8(uint8_t v) { bytes_.push_back(v); }
    void I8(int8_t v) { U8(static_cast<uint8_t>(v)); }
    void U16(uint16_t v);
    void I16(int16_t v) { U16(static_cast<uint16_t>(v)); }
    void U32(uint32_t v);
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void Zeros(size_t n) { bytes_.insert(bytes_.end(), n, 0); }
    void Bytes(const void* data, size_t n);
    void Bytes(const std::string& s) { Bytes(s.data(), s.size()); }
    // A u16 length and the bytes; fails (marks the writer bad) above 65535 bytes.
    void String(const std::string& s);
    void ZeroTerminated(const std::string& s);

    // False when something could not be represented in the layout.
    bool ok() const { return ok_; }
    void MarkBad() { ok_ = false; }
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    std::vector<uint8_t>& bytes() { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    bool ok_ = true;
};
