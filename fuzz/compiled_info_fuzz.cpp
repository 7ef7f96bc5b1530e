// Compiled-code blocks as class files hold them: loading, relinking against a small class
// hierarchy, the information dump, the listing and the position lookup must take any bytes.
// The input is also read as a source text for line and column computation.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "frontend/CodeListing.h"
#include "frontend/CompiledInfo.h"
#include "frontend/RelinkLookup.h"
#include "frontend/SourcePosition.h"
#include "platform/ByteStream.h"
#include "platform/Reporter.h"
#include "vm/VirtualMachine.h"

namespace {

using namespace kelvo;

class Lookup : public TRelinkLookup {
 public:
  Lookup(TScriptValue* cell, TRTTI* cls) : cell_(cell), cls_(cls) {}
  TScriptValue* ValueCellOf(std::string_view name) override { return name == "$g" ? cell_ : nullptr; }
  TRTTI* ClassOf(std::string_view name) override { return name == "classes.A" ? cls_ : nullptr; }

 private:
  TScriptValue* cell_;
  TRTTI* cls_;
};

class Names : public TListingNames {
 public:
  std::string CellText(uint8_t tag, uint32_t payload) const override {
    return std::to_string(tag) + ":" + std::to_string(payload);
  }
  std::string SymbolName(uint32_t s) const override { return std::to_string(s); }
  std::string FunctionName(uint32_t f) const override { return std::to_string(f); }
  std::string ClassIdentity(uint32_t c) const override { return std::to_string(c); }
  std::string ClassName(uint32_t c) const override { return std::to_string(c); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reporter reporter;
  TVirtualMachine vm(reporter);
  TRTTI* base = vm.NewClass("A", "classes.A");
  base->MemberSlot("x");
  base->EnterMethod(vm.NewFunction<TConstructor>(base, "constructor"));
  base->EnterMethod(vm.NewFunction<TNormalFunction>(base, "draw"));
  base->Compiled = true;
  TRTTI* cls = vm.NewClass("B", "classes.B");
  cls->Parent = base;
  cls->InheritMembers();
  cls->InheritMethods();
  cls->EnterMethod(vm.NewFunction<TNativeFunction>(cls, "_n_len"));
  TScriptValue global = IntValue(1);
  Lookup lookup(&global, base);

  try {
    TByteReader in(data, size);
    std::unique_ptr<TCompiledInfo> block = TCompiledInfo::Load(in);
    std::vector<std::string> lines;
    block->Dump(lines);
    (void)block->PositionAt(static_cast<int32_t>(size));
    try {
      block->Relink(*cls, lookup);
    } catch (const std::runtime_error&) {
    }
    try {
      ListCode(block->Code.data(), block->Code.size(), Names(), lines);
    } catch (const std::runtime_error&) {
    }
  } catch (const EReadError&) {
  }

  const std::string text(reinterpret_cast<const char*>(data), size);
  (void)SourcePositionOf(text, static_cast<int64_t>(size / 2));
  (void)SourcePositionOf(text, static_cast<int64_t>(size));
  return 0;
}
