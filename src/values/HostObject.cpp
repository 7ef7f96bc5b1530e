#include "values/HostObject.h"

#include "platform/ShiftJis.h"
#include "vm/ScriptError.h"

namespace kelvo {

const char* HostKindName(THostKind kind) {
  switch (kind) {
    case THostKind::Class: return "TRTTI";
    case THostKind::Function: return "TFunction";
    case THostKind::Process: return "TProcess";
    case THostKind::String: return "TfString";
    case THostKind::ElementList: return "TList";
    case THostKind::Resource: return "TResource";
    case THostKind::Other: return "TObject";
  }
  return "TObject";
}

THostObject::THostObject(THostRegistry& registry, THostKind kind)
    : registry_(registry), handle_(registry.Register(this)), kind_(kind) {}

THostObject::~THostObject() { registry_.Unregister(this, handle_); }

uint32_t THostRegistry::Register(THostObject* object) {
  uint32_t handle = table_.Add(object);
  if (handle == 0) throw EScriptError(SJ("ホストオブジェクトが多すぎます"));
  return handle;
}

void THostRegistry::Unregister(THostObject* object, uint32_t handle) {
  table_.Remove(handle);
  owned_.erase(object);
}

void THostRegistry::Free(uint32_t handle) {
  THostObject* object = table_.Find(handle);
  if (object && owned_.count(object)) delete object;  // its destructor unregisters it
}

THostRegistry::~THostRegistry() {
  std::unordered_set<THostObject*> owned;
  owned.swap(owned_);
  for (THostObject* object : owned) delete object;
}

}  // namespace kelvo
