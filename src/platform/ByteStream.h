#pragma once
// Little-endian byte streams for the binary files of the system (class files and the
// compiled-code blocks inside them). Integers are 32-bit little-endian; a string is its
// length plus one, then its bytes and a terminating zero byte.
//
// The reader takes arbitrary bytes: reading past the end raises EReadError and never reads
// out of bounds.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

// The host's file read error: the data is shorter than its contents claim.
class EReadError : public std::runtime_error {
 public:
  EReadError() : std::runtime_error("Stream read error") {}
};

class TByteWriter {
 public:
  void WriteInt(int32_t value);
  void WriteBytes(const void* data, size_t size);
  // Length + 1, the bytes, a zero byte.
  void WriteString(std::string_view text);
  void WriteStringList(const std::vector<std::string>& list);

  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
};

class TByteReader {
 public:
  TByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  explicit TByteReader(const std::vector<uint8_t>& bytes) : TByteReader(bytes.data(), bytes.size()) {}

  int32_t ReadInt();
  // A count of items that each take at least `minItemBytes` bytes: negative counts and counts
  // the rest of the data cannot hold raise EReadError, so a hostile count never makes the
  // caller reserve huge amounts of memory.
  int32_t ReadCount(size_t minItemBytes);
  // Exactly `size` bytes, or EReadError.
  std::vector<uint8_t> ReadBytes(size_t size);
  // A string written by WriteString. A length below 1 raises EReadError; the text ends at
  // its first zero byte.
  std::string ReadString();
  std::vector<std::string> ReadStringList();

  size_t Offset() const { return offset_; }
  size_t Remaining() const { return size_ - offset_; }
  bool AtEnd() const { return offset_ == size_; }

 private:
  const uint8_t* Take(size_t size);

  const uint8_t* data_;
  size_t size_;
  size_t offset_ = 0;
};

}  // namespace kelvo
