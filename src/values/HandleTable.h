#pragma once
// THandleTable: 32-bit handles for objects of the system, so that cells in code blocks and
// class files, instruction operands and host references handed to scripts stay one word and
// never point at freed memory.
//
// A handle is (generation << IndexBits) | (slot + 1); it is never 0 and always positive as a
// signed 32-bit number. With GenBits > 0 a slot's generation changes whenever it is freed, so
// a stale handle (one kept after its object went away) is not found, even when the slot has
// been given to a new object. Free slots are reused oldest first, which keeps generations of
// a busy table from coming round quickly.
#include <cstdint>
#include <deque>
#include <vector>

namespace kelvo {

template <class T, unsigned GenBits>
class THandleTable {
  static_assert(GenBits < 24, "handles keep at least 8 index bits");

 public:
  static constexpr unsigned kIndexBits = 31 - GenBits;
  static constexpr uint32_t kIndexMask = (uint32_t(1) << kIndexBits) - 1;
  static constexpr uint32_t kGenMask = (uint32_t(1) << GenBits) - 1;
  static constexpr size_t kMaxSlots = kIndexMask - 1;

  // Returns 0 when the table is full.
  uint32_t Add(T* object) {
    uint32_t slot;
    if (!free_.empty()) {
      slot = free_.front();
      free_.pop_front();
    } else {
      if (slots_.size() >= kMaxSlots) return 0;
      slot = static_cast<uint32_t>(slots_.size());
      slots_.push_back(Slot{});
    }
    slots_[slot].object = object;
    ++live_;
    return MakeHandle(slot, slots_[slot].generation);
  }

  // The object of a live handle, or nullptr for 0, unknown, stale and foreign handles.
  T* Find(uint32_t handle) const {
    uint32_t index = handle & kIndexMask;
    if (index == 0 || index > slots_.size()) return nullptr;
    const Slot& s = slots_[index - 1];
    if (!s.object || ((handle >> kIndexBits) & kGenMask) != s.generation || (handle >> 31))
      return nullptr;
    return s.object;
  }

  // Forgets the handle; nothing for handles that are not live.
  void Remove(uint32_t handle) {
    if (!Find(handle)) return;
    uint32_t slot = (handle & kIndexMask) - 1;
    slots_[slot].object = nullptr;
    slots_[slot].generation = (slots_[slot].generation + 1) & kGenMask;
    free_.push_back(slot);
    --live_;
  }

  size_t Live() const { return live_; }

  // Visits every live object in slot order.
  template <class F>
  void ForEach(F&& f) const {
    for (const Slot& s : slots_)
      if (s.object) f(s.object);
  }

 private:
  struct Slot {
    T* object = nullptr;
    uint32_t generation = 0;
  };
  static uint32_t MakeHandle(uint32_t slot, uint32_t generation) {
    return (generation << kIndexBits) | (slot + 1);
  }

  std::vector<Slot> slots_;
  std::deque<uint32_t> free_;
  size_t live_ = 0;
};

}  // namespace kelvo
