#pragma once
// The instance record of a script object. Records live in the pool of their class, are
// allocated zero-filled by the counting allocator and carry their member cells right after
// the header. They are returned to the host only when their class is reset or destroyed.
#include <cstdint>

namespace kelvo {

class TRTTI;
struct TScriptValue;

struct TInstance {
  // -1: free slot (never used or destroyed); 0: allocated but unreferenced, finalization
  // pending; above 0: the number of counted cells that hold it. Member releases during a
  // collecting sweep may take a free slot below -1; such a slot is still reusable.
  // Change it only through AddRef / Release (Release tells the pool when a record becomes
  // reusable; code that lowers it otherwise must call TRTTI::NoteReusable).
  int32_t RefCount;
  // 0 outside a collection; during the mark phase 1 plus the further references found.
  int32_t Mark;
  TRTTI* Class;
  // The object handle: positive, kept for the life of the record, so a reused record keeps
  // its handle.
  uint32_t Handle;
  // Number of member cells this record holds (the class's record size when it was made).
  uint32_t MemberCount;
  // Position of the record in its class's pool.
  uint32_t PoolIndex;
  uint32_t Reserved;

  TScriptValue* Members();
  const TScriptValue* Members() const;
};

}  // namespace kelvo
