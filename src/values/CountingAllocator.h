#pragma once
// The counting allocator: zero-filled blocks, with the number of blocks outstanding kept for
// the frame loop's status line (GC=). Instance records, process stacks and member-name entries
// are accounted here.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace kelvo {

class TCountingAllocator {
 public:
  void* Alloc(size_t bytes) {
    void* p = std::calloc(1, bytes ? bytes : 1);
    if (!p) throw std::bad_alloc();
    ++blocksHeld_;
    return p;
  }
  void Free(void* p) {
    if (!p) return;
    std::free(p);
    --blocksHeld_;
  }
  // For blocks that live inside a container of their owner (member-name entries): they are
  // accounted as held without a separate host allocation.
  void NoteHeld(int64_t blocks) { blocksHeld_ += blocks; }

  int64_t BlocksHeld() const { return blocksHeld_; }

 private:
  int64_t blocksHeld_ = 0;
};

}  // namespace kelvo
