#pragma once
// A fresh resource tree on a fresh machine, with a script caller that stands in for the
// snippet evaluator and the compile driver: it records what it is asked, runs host code in
// place of the few snippets the tree itself evaluates, and compiles classes by their source
// text ("ok" compiles, "bad" fails, anything else waits for a parent that never comes).
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>
#include <vector>

#include "platform/BRegExp.h"
#include "resources/ClassResource.h"
#include "resources/GlobalValue.h"
#include "resources/ResourceTree.h"
#include "resources/ScriptCaller.h"
#include "values/Globals.h"
#include "vm/Diagnostics.h"
#include "vm/Rtti.h"
#include "vm/VmFixture.h"

namespace kelvo::testing {

class FakeCaller : public TScriptCaller {
 public:
  FakeCaller(TResourceTree& tree, TRTTI* wrapperClass) : tree_(tree), wrapper_(wrapperClass) {}

  int Eval(const std::string& text) override {
    evals.push_back(text);
    if (failEvals) return 2;
    std::smatch m;
    if (text == "$_2=new BuiltInResource($_1);") {
      // The wrapper keeps the host pointer it was made from in its member "res".
      TScriptValue* arg = GlobalCell(tree_, "$_1");
      TInstance* inst = wrapper_->NewInstance();
      int32_t hint = -1;
      CopyVal(TRTTI::MemberCell(*inst, tree_.Vm().Symbols().SymbolOf("res"), hint), *arg);
      SetObject(*GlobalCell(tree_, "$_2"), inst);
      return 0;
    }
    if (text == "$_1.onDestroy();") {
      TScriptValue* arg = GlobalCell(tree_, "$_1");
      int32_t hint = -1;
      const TScriptValue& res = TRTTI::MemberCell(
          *arg->Object, tree_.Vm().Symbols().SymbolOf("res"), hint);
      TResource* r = ResourceFromValue(tree_.Vm().Hosts(), res);
      destroyed.push_back(r ? r->name() : "?");
      return 0;
    }
    // NAME=INTEGER; assigns, as the compiled snippet would.
    static const std::regex assign(R"(^(?:extends Object; )?(\$[^=]+)=(-?[0-9]+);$)");
    if (std::regex_match(text, m, assign)) {
      SetGlobal(tree_, m[1].str(), IntValue(std::stoi(m[2].str())));
      return 0;
    }
    return 1;
  }

  bool CompileClass(TRTTI& cls, const std::string& source, bool report) override {
    compiled.push_back(cls.Name);
    cls.CompileFailed = source == "bad";
    cls.Compiled = source == "ok";
    return cls.CompileFailed;
  }

  std::vector<std::string> evals;
  std::vector<std::string> destroyed;  // names of the resources whose object heard onDestroy
  std::vector<std::string> compiled;
  bool failEvals = false;

 private:
  TResourceTree& tree_;
  TRTTI* wrapper_;
};

class ResourceFixture : public VmFixture {
 protected:
  ResourceFixture() {
    tree.SetCaller(&caller);
    tree.SetBaseDir("\\game");
  }

  // Builds a root from markup and makes it the tree's root.
  TResource* Load(const std::string& text) {
    tree.SetRoot(tree.parseResource(text));
    return tree.Root();
  }
  TResource* Find(const std::string& dotted) { return tree.Lookup(dotted); }
  std::vector<std::string> Save(TResource& r) {
    std::vector<std::string> lines;
    r.save(lines, "", 0);
    return lines;
  }

  TRTTI* wrapperClass = MakeClass("BuiltInResource", {"res"});
  TBRegExp regExp;
  TDiagnostics diagnostics{reporter};
  // The caller outlives the tree: destroying the tree still evaluates onDestroy snippets.
  FakeCaller caller{tree, wrapperClass};
  TResourceTree tree{vm, regExp, diagnostics};
};

// The message of the exception of type E a call raises, or "(no error)".
template <class E, class F>
std::string ErrorText(F&& f) {
  try {
    f();
  } catch (const E& e) {
    return e.what();
  }
  return "(no error)";
}

// A small kernel-like tree: usrglobal, classes.lang.Object, usr.classes.Player.
inline const char* kSmallTree =
    "<resourcelist name=\"root\">\r\n"
    " <resourcelist name=\"usrglobal\"></resourcelist>\r\n"
    " <resourcelist name=\"classes\"><resourcelist name=\"lang\">\r\n"
    "  <class name=\"Object\" src=\"kernel\\Object.kelvo\"/>\r\n"
    " </resourcelist></resourcelist>\r\n"
    " <resourcelist name=\"usr\"><resourcelist name=\"classes\">\r\n"
    "  <class name=\"Player\" src=\"Player.kelvo\"/>\r\n"
    " </resourcelist></resourcelist>\r\n"
    "</resourcelist>\r\n";

}  // namespace kelvo::testing
