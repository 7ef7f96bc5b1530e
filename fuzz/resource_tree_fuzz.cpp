// Building a resource tree from arbitrary markup: whatever the text, building, looking names
// up, making globals, listing, saving, cloning and destroying the tree must be safe.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/BRegExp.h"
#include "platform/Reporter.h"
#include "resources/ResourceTree.h"
#include "values/Globals.h"
#include "vm/Diagnostics.h"
#include "vm/VirtualMachine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelvo;
  const std::string text(reinterpret_cast<const char*>(data), size);
  Reporter reporter;
  reporter.SetMessageBoxSink([](const std::string&) {});
  TVirtualMachine vm(reporter);
  TBRegExp regExp;
  TDiagnostics diagnostics(reporter);
  {
    TResourceTree tree(vm, regExp, diagnostics);
    tree.SetBaseDir("\\game");
    tree.SetRoot(tree.parseResource(text));
    if (TResource* root = tree.Root()) {
      std::vector<std::string> names;
      root->listNames(names, "");
      for (const std::string& name : names) {
        TResource* r = tree.Lookup(name);
        if (r) (void)tree.fullName(*r);
        if (auto* list = dynamic_cast<TResourceList*>(r)) (void)tree.uniqueChildName(*list, name);
      }
      GlobalCell(tree, "$fuzz");
      DeclarePageGlobal(tree, "$fuzz", true);
      std::vector<std::string> lines;
      root->save(lines, "", 0);
      TResourcePtr copy = root->clone();
      (void)IsLegalGlobalName(regExp, text);
      tree.deleteResource(names.size() > 1 ? names[1] : std::string("x"));
    }
  }
  return 0;
}
