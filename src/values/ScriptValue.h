#pragma once
// TScriptValue: the value cell every script value lives in (variables, arguments, members,
// operand stack slots, globals, array elements), and the counted store operations on it.
//
// In memory a cell is a tag byte and a pointer-sized payload, so that object references and
// value pointers are direct pointers on the hot paths. Inside code blocks and class files a
// cell takes the 8-byte encoded form (see ValueEncoding.h), where object references and cell
// references are 32-bit handles.
#include <cstdint>

#include "values/Instance.h"

namespace kelvo {

enum TValueKind : uint8_t {
  vkNull = 0,
  vkInt = 1,
  vkFloat = 2,
  vkObject = 3,  // counted reference to an instance record
  vkRef = 4,     // pointer to another cell; only on operand stacks and in for-in state
  vkHost = 5,    // handle of a host object in the host registry; owned elsewhere
};

struct TScriptValue {
  uint8_t Tag = vkNull;
  union {
    uint64_t Raw = 0;
    int32_t Int;
    float Float;
    TInstance* Object;
    TScriptValue* Ref;
    uint32_t Host;
  };
};

static_assert(sizeof(TInstance) % alignof(TScriptValue) == 0, "members follow the header");

inline TScriptValue* TInstance::Members() { return reinterpret_cast<TScriptValue*>(this + 1); }
inline const TScriptValue* TInstance::Members() const {
  return reinterpret_cast<const TScriptValue*>(this + 1);
}

// Raw (uncounted) cells, for building operands and fresh storage.
inline TScriptValue NullValue() { return TScriptValue{}; }
inline TScriptValue IntValue(int32_t i) {
  TScriptValue v;
  v.Tag = vkInt;
  v.Int = i;
  return v;
}
inline TScriptValue FloatValue(float f) {
  TScriptValue v;
  v.Tag = vkFloat;
  v.Float = f;
  return v;
}
inline TScriptValue RefValue(TScriptValue* target) {
  TScriptValue v;
  v.Tag = vkRef;
  v.Ref = target;
  return v;
}
inline TScriptValue HostValue(uint32_t handle) {
  TScriptValue v;
  v.Tag = vkHost;
  v.Host = handle;
  return v;
}
// An object cell that does not count: only for cells whose unit is accounted elsewhere.
inline TScriptValue UncountedObjectValue(TInstance* inst) {
  TScriptValue v;
  v.Tag = vkObject;
  v.Object = inst;
  return v;
}

// Makes a cell null without releasing: for freshly allocated or dead storage only.
inline void ClearCell(TScriptValue& cell) { cell = TScriptValue{}; }

// Out-of-line paths of Release: an empty object reference, and a count that fell to 0 or
// below (the pool learns that the record is reusable; a count taken to -1 is an error).
[[noreturn]] void ThrowEmptyObjectRelease();
void CountFellToZero(const TScriptValue& cell);

inline void AddRef(const TScriptValue& cell) {
  if (cell.Tag == vkObject && cell.Object) ++cell.Object->RefCount;
}

// Subtracts one unit of the instance's count. Never frees or finalizes; the cell keeps its
// contents. A count taken from 0 to -1 stays at -1 and is reported as an error.
inline void Release(const TScriptValue& cell) {
  if (cell.Tag != vkObject) return;
  if (!cell.Object) ThrowEmptyObjectRelease();
  if (--cell.Object->RefCount <= 0) CountFellToZero(cell);
}

// Counted copy; an absent source makes dst null.
inline void CopyVal(TScriptValue& dst, const TScriptValue* src) {
  Release(dst);
  if (src) {
    dst = *src;
    AddRef(dst);
  } else {
    dst = TScriptValue{};
  }
}
inline void CopyVal(TScriptValue& dst, const TScriptValue& src) { CopyVal(dst, &src); }

inline void SetNull(TScriptValue& dst) {
  Release(dst);
  dst = TScriptValue{};
}
inline void SetInt(TScriptValue& dst, int32_t i) {
  Release(dst);
  dst = IntValue(i);
}
inline void SetFloat(TScriptValue& dst, float f) {
  Release(dst);
  dst = FloatValue(f);
}
inline void SetObject(TScriptValue& dst, TInstance* inst) {
  Release(dst);
  dst = UncountedObjectValue(inst);
  AddRef(dst);
}
inline void SetHost(TScriptValue& dst, uint32_t handle) {
  Release(dst);
  dst = HostValue(handle);
}

inline TInstance* GetObject(const TScriptValue& cell) {
  return cell.Tag == vkObject ? cell.Object : nullptr;
}
// The host handle when the cell is vkHost, else 0 (no host object has handle 0). Resolve it
// through the host registry (HostRegistry.h), which checks kind and liveness.
inline uint32_t GetHost(const TScriptValue& cell) { return cell.Tag == vkHost ? cell.Host : 0; }

}  // namespace kelvo
