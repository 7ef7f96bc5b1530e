#include "vm/VirtualMachine.h"

#include <algorithm>

#include "platform/ShiftJis.h"
#include "vm/ScriptError.h"

namespace kelvo {

TVirtualMachine::TVirtualMachine(Reporter& reporter)
    : reporter_(reporter), collector_(*this), hosts_(std::make_unique<THostRegistry>()) {}

TVirtualMachine::~TVirtualMachine() {
  // Classes, functions and string bodies go first, while the allocator and the handle tables
  // their records use still exist.
  hosts_.reset();
}

TRTTI* TVirtualMachine::NewClass(std::string name, std::string fullName, std::string src) {
  if (fullName.empty()) fullName = name;
  TRTTI* cls = hosts_->Adopt(
      std::make_unique<TRTTI>(*this, std::move(name), std::move(fullName), std::move(src)));
  classes_.push_back(cls);
  return cls;
}

void TVirtualMachine::DestroyClass(TRTTI* cls) {
  if (!cls) return;
  if (cls->HasReferencedRecords())
    throw EScriptError(cls->IdentityText() + SJ(":オブジェクトがまだ残っています"));
  cls->ResetClass();
  classes_.erase(std::remove(classes_.begin(), classes_.end(), cls), classes_.end());
  if (stringClass_ == cls) stringClass_ = nullptr;
  for (TRTTI* other : classes_)
    if (other->Parent == cls) other->Parent = nullptr;
  hosts_->Free(cls->HostHandle());
}

}  // namespace kelvo
