#pragma once
// The names the code listing shows, taken from the machine: the text of encoded cells (value
// pointers as "[" + the designated value + "]"), symbol texts, function names and class
// identities. Operands that lead nowhere show as "?".
#include "frontend/CodeListing.h"

namespace kelvo {

class TVirtualMachine;

class TMachineListingNames : public TListingNames {
 public:
  explicit TMachineListingNames(const TVirtualMachine& vm) : vm_(vm) {}
  std::string CellText(uint8_t tag, uint32_t payload) const override;
  std::string SymbolName(uint32_t symbol) const override;
  std::string FunctionName(uint32_t function) const override;
  std::string ClassIdentity(uint32_t classHandle) const override;
  std::string ClassName(uint32_t classHandle) const override;

 private:
  const TVirtualMachine& vm_;
};

}  // namespace kelvo
