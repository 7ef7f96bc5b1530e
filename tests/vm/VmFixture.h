#pragma once
// A fresh virtual machine with a String class (member "_body"), message and log sinks that
// record what they get, and helpers to build compiled classes and counted cells.
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "platform/Reporter.h"
#include "values/Conversions.h"
#include "values/Strings.h"
#include "vm/ScriptError.h"
#include "vm/VirtualMachine.h"

namespace kelvo::testing {

// Stands in for the interpreter: records the hooks it is asked to run and runs host code
// registered per class name in their place.
class FakeRunner : public TScriptRunner {
 public:
  using Hook = std::function<void(TInstance&)>;
  void RunDestructor(TInstance& inst) override {
    calls.push_back("destructor " + inst.Class->Name + "#" + std::to_string(inst.Handle));
    if (auto it = destructors.find(inst.Class->Name); it != destructors.end()) it->second(inst);
  }
  void RunGcMark(TInstance& inst) override {
    calls.push_back("gc_mark " + inst.Class->Name + "#" + std::to_string(inst.Handle));
    if (auto it = gcMarks.find(inst.Class->Name); it != gcMarks.end()) it->second(inst);
  }
  std::vector<std::string> calls;
  std::map<std::string, Hook> destructors;
  std::map<std::string, Hook> gcMarks;
};

class VmFixture : public ::testing::Test {
 protected:
  VmFixture() {
    reporter.SetMessageBoxSink([this](const std::string& t) { boxes.push_back(t); });
    reporter.SetLogLineSink([this](const std::string& t) { logs.push_back(t); });
    stringClass = MakeClass("String", {"_body"});
    stringClass->FullName = "classes.lang.String";
    vm.SetStringClass(stringClass);
  }

  // A compiled class with the parent's members and methods, then its own members.
  TRTTI* MakeClass(const std::string& name, std::initializer_list<const char*> members = {},
                   TRTTI* parent = nullptr) {
    TRTTI* cls = vm.NewClass(name);
    cls->Parent = parent;
    cls->InheritMembers();
    cls->InheritMethods();
    for (const char* m : members) cls->MemberSlot(m);
    cls->Compiled = true;
    return cls;
  }

  // A cell holding a new instance (count 1).
  TScriptValue NewObject(TRTTI* cls) {
    TScriptValue cell;
    SetObject(cell, cls->NewInstance());
    return cell;
  }
  TScriptValue Str(const std::string& text) {
    TScriptValue cell;
    SetString(vm, cell, text);
    return cell;
  }
  TScriptValue& Member(const TScriptValue& object, const char* name) {
    int32_t hint = -1;
    return TRTTI::MemberCell(*object.Object, vm.Symbols().SymbolOf(name), hint);
  }
  std::string Text(const TScriptValue& v) { return ValToText(vm, v); }

  Reporter reporter;
  std::vector<std::string> boxes;
  std::vector<std::string> logs;
  TVirtualMachine vm{reporter};
  TRTTI* stringClass = nullptr;
};

// The message of the EScriptError a call raises, or "(no error)".
template <class F>
std::string ErrorOf(F&& f) {
  try {
    f();
  } catch (const EScriptError& e) {
    return e.what();
  }
  return "(no error)";
}

}  // namespace kelvo::testing
