// Arbitrary bytes as a class file: loaded into a fresh machine whose resource tree holds a
// compiled parent class, the class to fill and a class the code may construct. Loading must
// either fill the class or fail (false or an exception) without crashing, and a filled class
// must list and reset cleanly.
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "frontend/CodeListing.h"
#include "platform/BRegExp.h"
#include "platform/ByteStream.h"
#include "platform/Reporter.h"
#include "resources/ClassResource.h"
#include "resources/ResourceTree.h"
#include "resources/TreeRelinkLookup.h"
#include "vm/ClassFile.h"
#include "vm/Diagnostics.h"
#include "vm/MachineListingNames.h"
#include "vm/VirtualMachine.h"

namespace {

using namespace kelvo;

const char kTree[] =
    "<resourcelist name=\"root\"><resourcelist name=\"usrglobal\"/>"
    "<classlist name=\"classes\"><class name=\"Base\"/><class name=\"Child\"/>"
    "<class name=\"Other\"/></classlist></resourcelist>";

// The parent: members a and b, a constructor, draw and the native _n_len.
void CompileBase(TVirtualMachine& vm, TRTTI& base) {
  base.MemberSlot("a");
  base.MemberSlot("b");
  base.EnterMethod(vm.NewFunction<TConstructor>(&base, "constructor"));
  base.EnterMethod(vm.NewFunction<TNormalFunction>(&base, "draw"));
  base.AppendMethod(vm.NewFunction<TNativeFunction>(&base, "_n_len"));
  base.Compiled = true;
}

void List(const TVirtualMachine& vm, const TCodeBlock* block) {
  if (!block) return;
  std::vector<std::string> lines;
  try {
    ListCode(block->Code.data(), block->Code.size(), TMachineListingNames(vm), lines);
  } catch (const std::exception&) {
    // Loaded code is not checked until it runs: the listing stops at a malformed instruction.
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reporter reporter;
  reporter.SetMessageBoxSink([](const std::string&) {});
  reporter.SetLogLineSink([](const std::string&) {});
  TVirtualMachine vm(reporter);
  TBRegExp regExp;
  TDiagnostics diagnostics(reporter);
  {
    TResourceTree tree(vm, regExp, diagnostics);
    tree.SetRoot(tree.parseResource(kTree));
    TRTTI* base = ClassOf(tree.Lookup("classes.Base"));
    TRTTI* child = ClassOf(tree.Lookup("classes.Child"));
    ClassOf(tree.Lookup("classes.Other"))->Compiled = true;
    if (!base || !child) __builtin_trap();
    CompileBase(vm, *base);
    TTreeRelinkLookup lookup(tree);
    bool loaded = false;
    try {
      TByteReader in(data, size);
      loaded = LoadClassFile(*child, in, lookup);
    } catch (const std::exception&) {
    }
    // A failed load leaves nothing behind; a successful one gives a usable class.
    if (!loaded && (child->Compiled || !child->Methods.empty() || child->MainCode))
      __builtin_trap();
    if (loaded) {
      for (TFunction* f : child->Methods)
        if (TNormalFunction* body = AsBytecode(f)) List(vm, body->Code.get());
      List(vm, child->MainCode.get());
      child->ResetClass();
    }
  }
  return 0;
}
