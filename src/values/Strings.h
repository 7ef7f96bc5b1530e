#pragma once
// String values: a string is an object of the kernel class classes.lang.String whose member
// "_body" holds a vkHost reference to a TfString with the Shift-JIS text. Only direct
// instances of that class are strings; instances of subclasses are not.
#include <string>
#include <string_view>

#include "values/HostObject.h"
#include "values/ScriptValue.h"

namespace kelvo {

class TVirtualMachine;

class TfString : public THostObject {
 public:
  static constexpr THostKind kHostKind = THostKind::String;
  TfString(THostRegistry& registry, std::string text)
      : THostObject(registry, kHostKind), Text(std::move(text)) {}
  std::string HostClassName() const override { return "TfString"; }

  std::string Text;
};

// A new string instance with count 0 (the caller stores it with a counted store). Raises the
// member lookup error when the String class has no "_body".
TInstance* NewString(TVirtualMachine& vm, std::string_view text);
// NewString, then stored as by SetObject: the new string has count 1.
void SetString(TVirtualMachine& vm, TScriptValue& dst, std::string_view text);
// Whether the instance is a string (its class is the String class itself).
bool IsStringObject(const TVirtualMachine& vm, const TInstance* inst);
// The text of a string instance; empty when its "_body" holds no string body.
std::string StringText(const TVirtualMachine& vm, const TInstance& inst);
// The string body a "_body" value refers to, or nullptr.
TfString* StringBody(const TVirtualMachine& vm, const TScriptValue& body);
// Frees the string body a "_body" value refers to (the String class's _free_body native).
void FreeStringBody(TVirtualMachine& vm, const TScriptValue& body);

}  // namespace kelvo
