#pragma once
// Listing names taken from a real virtual machine: cells decoded from their encoded form,
// symbols from the symbol table, functions and classes from the host registry. Unknown
// handles show as "?" so a wrong operand is visible in the listing.
#include <string>

#include "frontend/CodeListing.h"
#include "values/Conversions.h"
#include "values/ValueEncoding.h"
#include "vm/Function.h"
#include "vm/Rtti.h"
#include "vm/VirtualMachine.h"

namespace kelvo::testing {

class VmListingNames : public TListingNames {
 public:
  explicit VmListingNames(const TVirtualMachine& vm) : vm_(vm) {}

  std::string CellText(uint8_t tag, uint32_t payload) const override {
    const uint8_t bytes[8] = {tag, 0, 0, 0, uint8_t(payload), uint8_t(payload >> 8),
                              uint8_t(payload >> 16), uint8_t(payload >> 24)};
    return ValToText(vm_, DecodeValue(vm_, bytes));
  }
  std::string SymbolName(uint32_t symbol) const override {
    return vm_.Symbols().SymbolText(static_cast<int32_t>(symbol));
  }
  std::string FunctionName(uint32_t handle) const override {
    auto* f = dynamic_cast<TFunction*>(vm_.Hosts().Find(handle));
    return f ? f->GetName() : "?";
  }
  std::string ClassIdentity(uint32_t handle) const override {
    const TRTTI* c = Class(handle);
    return c ? c->IdentityText() : "?";
  }
  std::string ClassName(uint32_t handle) const override {
    const TRTTI* c = Class(handle);
    return c ? c->Name : "?";
  }

 private:
  const TRTTI* Class(uint32_t handle) const {
    return dynamic_cast<TRTTI*>(vm_.Hosts().Find(handle));
  }
  const TVirtualMachine& vm_;
};

}  // namespace kelvo::testing
