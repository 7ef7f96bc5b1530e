#pragma once
// Functions of a class's method table: bytecode methods (TNormalFunction), constructors and
// destructors (bytecode functions marked by their kind) and host-implemented natives
// (TNativeFunction). A function is shared by the method tables of its class and of every
// subclass that inherits it; Users counts those tables.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "values/HostObject.h"
#include "values/ScriptValue.h"
#include "vm/CodeBlock.h"
#include "vm/NameList.h"

namespace kelvo {

class TByteReader;
class TByteWriter;
class TRTTI;
class TSymbolTable;

enum class TFunctionKind : uint8_t { Normal, Constructor, Destructor, Native };

class TFunction : public THostObject {
 public:
  static constexpr THostKind kHostKind = THostKind::Function;

  TFunction(THostRegistry& registry, const TSymbolTable& symbols, TRTTI* owner, int32_t name,
            TFunctionKind kind);

  TFunctionKind Kind() const { return kind_; }
  bool IsNative() const { return kind_ == TFunctionKind::Native; }
  bool IsBytecode() const { return kind_ != TFunctionKind::Native; }
  // The kind's name as class files write it: "TNormalFunction", "TConstructor", ...
  static const char* KindName(TFunctionKind kind);

  // The text of Name.
  virtual std::string GetName() const;
  // The function's record in a class file: its kind name and its name; bytecode kinds add
  // their argument names, local names and code block.
  virtual void Save(TByteWriter& out) const;
  // Reads what Save wrote after the kind and the name (nothing for natives). EReadError when
  // the data is short; the function is unchanged then.
  virtual void LoadBody(TByteReader& in) {}
  std::string HostClassName() const override { return KindName(kind_); }

  TRTTI* OwnerClass;
  int32_t Users = 0;
  int32_t Name;

 private:
  const TSymbolTable& symbols_;
  TFunctionKind kind_;
};

class TNormalFunction : public TFunction {
 public:
  TNormalFunction(THostRegistry& registry, const TSymbolTable& symbols, TRTTI* owner,
                  int32_t name)
      : TNormalFunction(registry, symbols, owner, name, TFunctionKind::Normal) {}

  // A function without code saves an empty block; a code block without information (built
  // by hand) saves its bytes with no entries.
  void Save(TByteWriter& out) const override;
  void LoadBody(TByteReader& in) override;

  TNameList ArgNames;
  TNameList LocalNames;  // its count is the number of locals a call reserves
  std::unique_ptr<TCodeBlock> Code;

 protected:
  TNormalFunction(THostRegistry& registry, const TSymbolTable& symbols, TRTTI* owner,
                  int32_t name, TFunctionKind kind)
      : TFunction(registry, symbols, owner, name, kind) {}
};

class TConstructor : public TNormalFunction {
 public:
  TConstructor(THostRegistry& registry, const TSymbolTable& symbols, TRTTI* owner, int32_t name)
      : TNormalFunction(registry, symbols, owner, name, TFunctionKind::Constructor) {}
};

class TDestructor : public TNormalFunction {
 public:
  TDestructor(THostRegistry& registry, const TSymbolTable& symbols, TRTTI* owner, int32_t name)
      : TNormalFunction(registry, symbols, owner, name, TFunctionKind::Destructor) {}
};

// A native callback: the result cell (holding the receiver on entry), the argument count n,
// and a reserved integer that is always 0. Argument i is ArgAt(result, i). The callback
// writes the value of the call into the result cell with the store operations; storing
// nothing leaves the receiver. The machine releases the argument cells afterwards.
using TNativeCallback = std::function<void(TScriptValue& result, int32_t argCount, int32_t)>;

// Argument i (1..n) of a native call is the cell i positions below the result cell; argument
// 0 is the result cell itself. The cells of a call are contiguous on the process stack.
inline TScriptValue& ArgAt(TScriptValue& result, int32_t i) { return (&result)[-i]; }

class TNativeFunction : public TFunction {
 public:
  // Starts with the placeholder callback, which raises "native関数が実装されていません".
  TNativeFunction(THostRegistry& registry, const TSymbolTable& symbols, TRTTI* owner,
                  int32_t name);

  static TNativeCallback Placeholder();
  void Call(TScriptValue& result, int32_t argCount) { Callback(result, argCount, 0); }

  TNativeCallback Callback;
};

// The bytecode function behind a function pointer, or nullptr for natives.
inline TNormalFunction* AsBytecode(TFunction* f) {
  return f && f->IsBytecode() ? static_cast<TNormalFunction*>(f) : nullptr;
}
inline TNativeFunction* AsNative(TFunction* f) {
  return f && f->IsNative() ? static_cast<TNativeFunction*>(f) : nullptr;
}

}  // namespace kelvo
