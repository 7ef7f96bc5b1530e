#include "vm/MachineListingNames.h"

#include "values/Conversions.h"
#include "values/ValueEncoding.h"
#include "vm/VirtualMachine.h"

namespace kelvo {

namespace {
template <class T>
const T* HostOfKind(const TVirtualMachine& vm, uint32_t handle) {
  const THostObject* h = vm.Hosts().Find(handle);
  return h && h->HostKind() == T::kHostKind ? static_cast<const T*>(h) : nullptr;
}
}  // namespace

std::string TMachineListingNames::CellText(uint8_t tag, uint32_t payload) const {
  const uint8_t bytes[8] = {tag,
                            0,
                            0,
                            0,
                            static_cast<uint8_t>(payload),
                            static_cast<uint8_t>(payload >> 8),
                            static_cast<uint8_t>(payload >> 16),
                            static_cast<uint8_t>(payload >> 24)};
  try {
    return ValToText(vm_, DecodeValue(vm_, bytes));
  } catch (const std::exception&) {
    return "?";
  }
}

std::string TMachineListingNames::SymbolName(uint32_t symbol) const {
  if (static_cast<int32_t>(symbol) < 0 || static_cast<int32_t>(symbol) >= vm_.Symbols().Count())
    return "?";
  return vm_.Symbols().SymbolText(static_cast<int32_t>(symbol));
}

std::string TMachineListingNames::FunctionName(uint32_t function) const {
  const TFunction* f = HostOfKind<TFunction>(vm_, function);
  return f ? f->GetName() : "?";
}

std::string TMachineListingNames::ClassIdentity(uint32_t classHandle) const {
  const TRTTI* cls = HostOfKind<TRTTI>(vm_, classHandle);
  return cls ? cls->IdentityText() : "?";
}

std::string TMachineListingNames::ClassName(uint32_t classHandle) const {
  const TRTTI* cls = HostOfKind<TRTTI>(vm_, classHandle);
  return cls ? cls->Name : "?";
}

}  // namespace kelvo
