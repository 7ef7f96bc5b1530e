#pragma once
// Host objects reach scripts only as vkHost cells holding a registry handle. Every host object
// registers itself when it is made and unregisters when it is destroyed, so a handle of a
// freed object, or an integer turned into a host reference, is never taken for a live object;
// its kind is checked wherever a host value is used.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>

#include "values/HandleTable.h"

namespace kelvo {

enum class THostKind : uint8_t {
  Class,        // TRTTI
  Function,     // TFunction and its kinds
  Process,      // TProcess
  String,       // TfString, the body of a string object
  ElementList,  // the element list of an array
  Resource,     // TResource and its kinds (a class resource's class is a Class)
  Other,        // host objects of the native library without a kind of their own
};

// The class name a kind of host object goes by in messages ("TProcess").
const char* HostKindName(THostKind kind);

class THostRegistry;

class THostObject {
 public:
  THostObject(THostRegistry& registry, THostKind kind);
  virtual ~THostObject();
  THostObject(const THostObject&) = delete;
  THostObject& operator=(const THostObject&) = delete;

  THostKind HostKind() const { return kind_; }
  uint32_t HostHandle() const { return handle_; }
  // The name of the host object's class, the text form of a vkHost cell ("TProcess").
  virtual std::string HostClassName() const = 0;

 private:
  THostRegistry& registry_;
  uint32_t handle_;
  THostKind kind_;
};

class THostRegistry {
 public:
  THostRegistry() = default;
  // Destroys the objects the registry owns. Objects it does not own must be gone by then.
  ~THostRegistry();
  THostRegistry(const THostRegistry&) = delete;
  THostRegistry& operator=(const THostRegistry&) = delete;

  // The live object of a handle, or nullptr.
  THostObject* Find(uint32_t handle) const { return table_.Find(handle); }
  size_t Live() const { return table_.Live(); }

  // Hands ownership of a registered object to the registry; returns it.
  template <class T>
  T* Adopt(std::unique_ptr<T> object) {
    T* raw = object.release();
    owned_.insert(raw);
    return raw;
  }
  // Destroys an owned object. Nothing when the handle is not live or not owned.
  void Free(uint32_t handle);

 private:
  friend class THostObject;
  uint32_t Register(THostObject* object);
  void Unregister(THostObject* object, uint32_t handle);

  THandleTable<THostObject, 9> table_;
  std::unordered_set<THostObject*> owned_;
};

}  // namespace kelvo
