#pragma once
// How natives and instructions take host objects out of cells: through the registry, with
// the kind checked. A value that is not a host reference, a handle that leads nowhere (a freed
// object, an integer turned into a host reference) and a host object of another kind are
// run-time errors, never a read of foreign memory.
#include "values/HostObject.h"
#include "values/ScriptValue.h"

namespace kelvo {

class TVirtualMachine;

// The live host object of the cell, of the given kind.
THostObject& ResolveHost(const TVirtualMachine& vm, const TScriptValue& v, THostKind kind);

// The same, typed: T names its kind as T::kHostKind.
template <class T>
T& HostCast(const TVirtualMachine& vm, const TScriptValue& v) {
  return static_cast<T&>(ResolveHost(vm, v, T::kHostKind));
}

// The live host object of the cell when it is of kind T, else nullptr; never raises.
template <class T>
T* HostIf(const THostRegistry& hosts, const TScriptValue& v) {
  if (v.Tag != vkHost) return nullptr;
  THostObject* host = hosts.Find(v.Host);
  return host && host->HostKind() == T::kHostKind ? static_cast<T*>(host) : nullptr;
}

}  // namespace kelvo
