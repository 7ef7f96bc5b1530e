// Encoded cells as they come from code blocks and class files, and Shift-JIS texts as they
// come from sources and markup: decoding, text forms, literals and name folding must take
// any bytes. Each 8-byte chunk is decoded; decoded cells are turned into text; the whole input
// is quoted as a string literal and folded as a name.
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/Reporter.h"
#include "values/Conversions.h"
#include "values/Strings.h"
#include "values/ValueEncoding.h"
#include "vm/ScriptError.h"
#include "vm/VirtualMachine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelvo;
  Reporter reporter;
  TVirtualMachine vm(reporter);
  TRTTI* str = vm.NewClass("String", "classes.lang.String");
  str->MemberSlot("_body");
  str->Compiled = true;
  vm.SetStringClass(str);
  TScriptValue keep;
  SetString(vm, keep, "seed");
  TScriptValue global = IntValue(1);
  (void)EncodeValue(vm, RefValue(&global));

  for (size_t i = 0; i + 8 <= size; i += 8) {
    try {
      TScriptValue v = DecodeValue(vm, data + i);
      (void)ValToText(vm, v);
      (void)ValToLiteral(vm, v);
      (void)ValToInt(v);
    } catch (const EScriptError&) {
    }
  }
  const std::string text(reinterpret_cast<const char*>(data), size);
  (void)QuoteStringLiteral(text);
  (void)TSymbolTable::FoldCase(text);
  if (size >= 4) {
    float f;
    std::memcpy(&f, data, 4);
    (void)FloatToText(f);
  }
  return 0;
}
