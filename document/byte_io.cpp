#include "document/byte_io.h"

#include <cstring>

bool ByteReader::Seek(size_t pos) {
    if (!ok_ || pos > size_) return Fail();
    pos_ = pos;
    return true;
}

bool ByteReader::Skip(size_t n) {
    if (!ok_ || n > remaining()) return Fail();
    pos_ += n;
    return true;
}

bool ByteReader::Bytes(void* out, size_t n) {
    if (!ok_ || n > remaining()) return Fail();
    if (n) std::memcpy(out, data_ + pos_, n);
    pos_ += n;
    return true;
}

bool ByteReader::Bytes(std::string& out, size_t n) {
    if (!ok_ || n > remaining()) return Fail();
    out.assign(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return true;
}

bool ByteReader::U8(uint8_t& v) { return Bytes(&v, 1); }

bool ByteReader::I8(int8_t& v) {
    uint8_t u;
    if (!U8(u)) return false;
    v = static_cast<int8_t>(u);
    return true;
}

bool ByteReader::U16(uint16_t& v) {
    uint8_t b[2];
    if (!Bytes(b, 2)) return false;
    v = static_cast<uint16_t>(b[0] | (b[1] << 8));
    return true;
}

bool ByteReader::I16(int16_t& v) {
    uint16_t u;
    if (!U16(u)) return false;
    v = static_cast<int16_t>(u);
    return true;
}

bool ByteReader::U32(uint32_t& v) {
    uint8_t b[4];
    if (!Bytes(b, 4)) return false;
    v = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
        (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
    return true;
}

bool ByteReader::I32(int32_t& v) {
    uint32_t u;
    if (!U32(u)) return false;
    v = static_cast<int32_t>(u);
    return true;
}

bool ByteReader::String(std::string& out) {
    uint16_t length;
    if (!U16(length) || !Bytes(out, length)) return false;
    size_t zero = out.find('\0');
    if (zero != std::string::npos) out.resize(zero);
    return true;
}

bool ByteReader::ZeroTerminated(std::string& out, size_t limit) {
    if (!ok_) return false;
    size_t available = remaining() < limit ? remaining() : limit;
    const void* zero = std::memchr(data_ + pos_, 0, available);
    if (!zero) return Fail();
    size_t n = static_cast<const uint8_t*>(zero) - (data_ + pos_);
    out.assign(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n + 1;
    return true;
}

bool ByteReader::Sub(size_t n, ByteReader& sub) {
    if (!ok_ || n > remaining()) return Fail();
    sub = ByteReader(data_ + pos_, n);
    pos_ += n;
    return true;
}

void ByteWriter::U16(uint16_t v) {
    bytes_.push_back(static_cast<uint8_t>(v & 0xFF));
    bytes_.push_back(static_cast<uint8_t>(v >> 8));
}

void ByteWriter::U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>((v >> (8 * i)) & 0xFF));
}

void ByteWriter::Bytes(const void* data, size_t n) {
    const auto* p = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + n);
}

void ByteWriter::String(const std::string& s) {
    if (s.size() > 0xFFFF) {
        ok_ = false;
        U16(0);
        return;
    }
    U16(static_cast<uint16_t>(s.size()));
    Bytes(s);
}

void ByteWriter::ZeroTerminated(const std::string& s) {
    Bytes(s);
    U8(0);
}
