#include "platform/ByteStream.h"

#include <cstring>

namespace kelvo {

void TByteWriter::WriteInt(int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                        static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
  bytes_.insert(bytes_.end(), b, b + 4);
}

void TByteWriter::WriteBytes(const void* data, size_t size) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  bytes_.insert(bytes_.end(), p, p + size);
}

void TByteWriter::WriteString(std::string_view text) {
  WriteInt(static_cast<int32_t>(text.size() + 1));
  WriteBytes(text.data(), text.size());
  bytes_.push_back(0);
}

void TByteWriter::WriteStringList(const std::vector<std::string>& list) {
  WriteInt(static_cast<int32_t>(list.size()));
  for (const std::string& s : list) WriteString(s);
}

const uint8_t* TByteReader::Take(size_t size) {
  if (size > size_ - offset_) throw EReadError();
  const uint8_t* p = data_ + offset_;
  offset_ += size;
  return p;
}

int32_t TByteReader::ReadInt() {
  const uint8_t* p = Take(4);
  return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                              uint32_t(p[3]) << 24);
}

int32_t TByteReader::ReadCount(size_t minItemBytes) {
  const int32_t count = ReadInt();
  if (count < 0) throw EReadError();
  if (minItemBytes > 0 && static_cast<size_t>(count) > Remaining() / minItemBytes)
    throw EReadError();
  return count;
}

std::vector<uint8_t> TByteReader::ReadBytes(size_t size) {
  const uint8_t* p = Take(size);
  return std::vector<uint8_t>(p, p + size);
}

std::string TByteReader::ReadString() {
  const int32_t length = ReadInt();
  if (length < 1) throw EReadError();
  const char* p = reinterpret_cast<const char*>(Take(static_cast<size_t>(length)));
  const size_t n = static_cast<size_t>(length) - 1;
  const void* zero = std::memchr(p, 0, n);
  return std::string(p, zero ? static_cast<const char*>(zero) - p : n);
}

std::vector<std::string> TByteReader::ReadStringList() {
  const int32_t count = ReadCount(5);  // a string takes at least its length and its zero
  std::vector<std::string> list;
  list.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) list.push_back(ReadString());
  return list;
}

}  // namespace kelvo
