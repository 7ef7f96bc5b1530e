// Code blocks as they may come from class files: any bytes run as a class's main code (and as
// a method it calls) must end in a clean run-time error or a normal end, never in a read or
// write outside the stack, the code or the objects.
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/Reporter.h"
#include "values/ScriptValue.h"
#include "values/Strings.h"
#include "vm/Process.h"
#include "vm/ProcessRunner.h"
#include "vm/VirtualMachine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelvo;
  Reporter reporter;
  reporter.SetMessageBoxSink([](const std::string&) {});
  TVirtualMachine vm(reporter);
  TProcessRunner runner(vm);
  TRTTI* str = vm.NewClass("String", "classes.lang.String");
  str->MemberSlot("_body");
  str->Compiled = true;
  vm.SetStringClass(str);
  TRTTI* cls = vm.NewClass("F");
  cls->MemberSlot("a");
  cls->MemberSlot("b");
  cls->Compiled = true;
  // The second half of the input is the code of method "m" (1 argument, 2 locals).
  const size_t half = (size / 2) & ~size_t(3);
  auto* m = vm.NewFunction<TNormalFunction>(cls, "m");
  m->ArgNames.Add("x");
  m->LocalNames.Add("l0");
  m->LocalNames.Add("l1");
  m->Code = std::make_unique<TCodeBlock>(std::vector<uint8_t>(data + half, data + size));
  cls->AppendMethod(m);
  cls->MainCode = std::make_unique<TCodeBlock>(std::vector<uint8_t>(data, data + half));
  TScriptValue obj;
  SetObject(obj, cls->NewInstance());
  for (const char* method : {"", "m"}) {
    TProcess* p = nullptr;
    try {
      p = CreateProcess(vm, obj.Object, method);
    } catch (const std::exception&) {
      continue;
    }
    Run(p, 5000);
    FreeProcess(p);
  }
  try {
    SetNull(obj);
  } catch (const std::exception&) {
  }
  return 0;
}
