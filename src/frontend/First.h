#pragma once
// TFirst: a set of byte values, one bit each. The lexer tests the byte under its cursor
// against a definition's first set before trying the definition.
#include <array>
#include <cstdint>

namespace kelvo {

class TFirst {
 public:
  bool Has(uint8_t b) const { return (bits_[b >> 6] >> (b & 63)) & 1u; }
  void Add(uint8_t b) { bits_[b >> 6] |= uint64_t{1} << (b & 63); }
  void AddRange(uint8_t low, uint8_t high) {
    for (int b = low; b <= high; ++b) Add(static_cast<uint8_t>(b));
  }
  void AddAll() { bits_.fill(~uint64_t{0}); }
  // Adds every member of `other`; answers whether this set grew.
  bool Merge(const TFirst& other) {
    bool changed = false;
    for (size_t i = 0; i < bits_.size(); ++i) {
      uint64_t merged = bits_[i] | other.bits_[i];
      changed |= merged != bits_[i];
      bits_[i] = merged;
    }
    return changed;
  }
  int Count() const {
    int n = 0;
    for (uint64_t w : bits_) n += __builtin_popcountll(w);
    return n;
  }
  bool operator==(const TFirst&) const = default;

 private:
  std::array<uint64_t, 4> bits_{};
};

}  // namespace kelvo
