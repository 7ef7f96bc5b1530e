#pragma once
// A machine with the process runner installed, an Array class built the way the kernel's
// classes.lang.Array is (member "_x" holding the element list, natives init / add), and
// helpers to give classes hand-assembled methods, natives and main code.
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "frontend/CodeBuilder.h"
#include "vm/VmFixture.h"
#include "values/ElementList.h"
#include "vm/HostAccess.h"
#include "vm/Process.h"
#include "vm/ProcessRunner.h"

namespace kelvo::testing {

// Builds code with forward and backward jump targets by name.
class Asm : public CodeBuilder {
 public:
  Asm& Word(uint32_t w) {
    CodeBuilder::Word(w);
    return *this;
  }
  Asm& Op(TOpcode op, std::initializer_list<uint32_t> operands = {}) {
    CodeBuilder::Op(op, operands);
    return *this;
  }
  Asm& PushString(const std::string& text) {
    CodeBuilder::PushString(text);
    return *this;
  }
  Asm& PushInt(int32_t i) {
    Op(Op_Push, {vkInt, static_cast<uint32_t>(i)});
    return *this;
  }
  Asm& PushFloat(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    Op(Op_Push, {vkFloat, bits});
    return *this;
  }
  Asm& PushNull() {
    Op(Op_Push, {vkNull, 0});
    return *this;
  }
  Asm& Mark(const std::string& label) {
    labels_[label] = bytes.size();
    return *this;
  }
  // A jump-like instruction (offset in word 1) to a label, resolved by Done().
  Asm& JumpTo(TOpcode op, const std::string& label) {
    fixups_.push_back({bytes.size(), label});
    Op(op, {0});
    return *this;
  }
  std::unique_ptr<TCodeBlock> Done() {
    for (auto& [at, label] : fixups_) {
      int32_t offset = static_cast<int32_t>(labels_.at(label)) - static_cast<int32_t>(at);
      for (int i = 0; i < 4; ++i) bytes[at + 4 + i] = static_cast<uint8_t>(offset >> (8 * i));
    }
    return std::make_unique<TCodeBlock>(bytes);
  }

 private:
  std::map<std::string, size_t> labels_;
  std::vector<std::pair<size_t, std::string>> fixups_;
};

class InterpFixture : public VmFixture {
 protected:
  InterpFixture() {
    arrayClass = MakeClass("Array", {"_x"});
    arrayClass->FullName = "classes.lang.Array";
    TRunState& rs = vm.RunState();
    rs.ArrayClass = arrayClass;
    rs.ArrayListSlot = arrayClass->MemberNames.Find(vm.Symbols().SymbolOf("_x"), hint_);
    arrayAdd = Native(arrayClass, "native_add", [this](TScriptValue& r, int32_t n, int32_t) {
      if (n >= 2) HostCast<TElementList>(vm, ArgAt(r, 1)).Add(ArgAt(r, 2));
    });
  }
  ~InterpFixture() override {
    for (TProcess* p : processes) FreeProcess(p);
  }

  TNormalFunction* Method(TRTTI* cls, const std::string& name, int args, int locals, Asm& code,
                          bool append = true) {
    auto* f = vm.NewFunction<TNormalFunction>(cls, name);
    Fill(f, args, locals, code);
    if (append) cls->AppendMethod(f);
    return f;
  }
  template <class F>
  F* Special(TRTTI* cls, const std::string& name, int args, int locals, Asm& code) {
    auto* f = vm.NewFunction<F>(cls, name);
    Fill(f, args, locals, code);
    cls->AppendMethod(f);
    return f;
  }
  TNativeFunction* Native(TRTTI* cls, const std::string& name, TNativeCallback callback) {
    auto* f = vm.NewFunction<TNativeFunction>(cls, name);
    f->Callback = std::move(callback);
    cls->AppendMethod(f);
    return f;
  }
  void Main(TRTTI* cls, Asm& code) { cls->MainCode = code.Done(); }

  // An Array instance (count 1 in the returned cell) holding the given values.
  TScriptValue NewArray(std::initializer_list<TScriptValue> values) {
    TScriptValue array = NewObject(arrayClass);
    auto list = std::make_unique<TElementList>(vm.Hosts(), vm.RunState().LiveListCells);
    for (const TScriptValue& v : values) list->Add(v);
    SetHost(Member(array, "_x"), list->HostHandle());
    lists.push_back(std::move(list));
    return array;
  }
  TElementList& ListOf(const TScriptValue& array) {
    return HostCast<TElementList>(vm, Member(array, "_x"));
  }

  // A process (freed by the fixture) for the method, or the main code when name is empty.
  TProcess* Start(const TScriptValue& object, const std::string& method = {}) {
    TProcess* p = CreateProcess(vm, object.Object, method);
    processes.push_back(p);
    return p;
  }
  // Runs the method to its end with the standard budget and answers its result's text.
  std::string Call(const TScriptValue& object, const std::string& method) {
    TProcess* p = Start(object, method);
    kelvo::Run(p, 0);
    if (!p->ResultCell) return "(no result)";
    return Text(*p->ResultCell);
  }

  uint32_t H(const THostObject* h) { return h->HostHandle(); }
  uint32_t Sym(const char* name) { return static_cast<uint32_t>(vm.Symbols().SymbolOf(name)); }

  TProcessRunner runner{vm};
  TRTTI* arrayClass = nullptr;
  TNativeFunction* arrayAdd = nullptr;
  std::vector<TProcess*> processes;
  std::vector<std::unique_ptr<TElementList>> lists;

 private:
  void Fill(TNormalFunction* f, int args, int locals, Asm& code) {
    for (int i = 0; i < args; ++i) f->ArgNames.Add("a" + std::to_string(i));
    for (int i = 0; i < locals; ++i) f->LocalNames.Add("l" + std::to_string(i));
    f->Code = code.Done();
  }
  int32_t hint_ = -1;
};

}  // namespace kelvo::testing
