#pragma once
// TProgWriter: produces one code block (a class's main code or one function body). It appends
// instructions to a buffer that doubles as it fills, lets the compiler go back and rewrite a
// placeholder jump once its target is known, and records the information entries that let the
// finished block be relinked and mapped back to source positions.
//
// Entries are recorded before an instruction's bytes, so each carries the offset where its
// instruction begins. Object operands are host handles (functions, classes); names are
// symbol numbers.
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "frontend/CompiledInfo.h"
#include "frontend/Instructions.h"
#include "frontend/SymInfoList.h"

namespace kelvo {

class TFunction;
class TRTTI;
class TVirtualMachine;
struct TScriptValue;

class TProgWriter {
 public:
  static constexpr int32_t kInitialCapacity = 256;

  explicit TProgWriter(TVirtualMachine& vm);

  int32_t Capacity() const { return capacity_; }
  int32_t Position() const { return position_; }
  int32_t End() const { return end_; }
  const uint8_t* Buffer() const { return buffer_.data(); }
  const TSymInfoList& Info() const { return info_; }

  // ---- Basic operations ----
  void WriteBytes(const void* data, size_t size);
  void WriteWord(uint32_t word);
  // Positions run from 0 to End; anything else raises std::out_of_range.
  void SetPosition(int32_t position);
  void SeekToEnd() { position_ = end_; }
  // An information entry for the instruction about to be written at Position.
  void RecordInfo(int32_t op, std::string_view text);
  // Hands the first End bytes and the entries to a new compiled block. The writer owns
  // nothing afterwards, and any further use raises std::logic_error.
  std::unique_ptr<TCompiledInfo> Finish();

  // ---- One operation per instruction ----
  void WritePop() { WriteOp(Op_Pop); }
  // A constant or a value pointer; `text` names what it designates (empty for constants) so
  // relinking can find it again. An object cell raises "WritePush Error".
  void WritePush(const TScriptValue& cell, std::string_view text);
  void WritePushInt(int32_t n);
  void WritePushFloat(float x);
  void WritePushString(std::string_view text);
  void WritePushThis() { WriteOp(Op_PushThis); }
  void WriteMemberPtr(int32_t slot, std::string_view name);
  void WriteDMemberPtr(std::string_view name);
  void WriteLocalPtr(int32_t index) { WriteOp(Op_LocalValPtr, {static_cast<uint32_t>(index)}); }
  void WriteArgPtr(int32_t index) { WriteOp(Op_ArgValPtr, {static_cast<uint32_t>(index)}); }
  void WriteDCall(std::string_view name, int32_t count);
  void WriteSCall(int32_t index, int32_t count, std::string_view name);
  void WriteSuperCall(const TFunction& function, int32_t count, std::string_view name);
  void WriteNativeCall(const TFunction& function, int32_t count, std::string_view name);
  void WriteConstruct(const TRTTI& cls, int32_t count);
  void WriteIs(const TRTTI& cls);
  // The binary or assignment instruction of an operator's text ("+", "+=", "<=", "&&" ...).
  void WriteOperator(std::string_view text);
  void WriteNot() { WriteOp(Op_Not); }
  void WriteNeg() { WriteOp(Op_Neg); }
  void WriteDeref() { WriteOp(Op_Deref); }
  void WriteRet() { WriteOp(Op_Ret); }
  void WriteInitForIn() { WriteOp(Op_InitForIn); }
  void WriteClearForIn() { WriteOp(Op_ClearForIn); }
  void WriteHalt() { WriteOp(Op_Halt); }
  void WriteJump(int32_t offset) { WriteOp(Op_Jump, {static_cast<uint32_t>(offset)}); }
  void WriteJumpZero(int32_t offset) { WriteOp(Op_JumpZero, {static_cast<uint32_t>(offset)}); }
  void WriteJumpAnd(int32_t offset) { WriteOp(Op_Jump_And, {static_cast<uint32_t>(offset)}); }
  void WriteJumpOr(int32_t offset) { WriteOp(Op_Jump_Or, {static_cast<uint32_t>(offset)}); }
  void WriteDoForIn(int32_t offset) { WriteOp(Op_DoForIn, {static_cast<uint32_t>(offset)}); }
  // Writes no code: a position entry "ClassFullName,position" at the current Position.
  void WritePoint(const TRTTI& cls, int32_t position);

  // Back-patching: rewrites the jump written at `at` (with a placeholder offset) so that it
  // lands on `target`, then seeks to the end; End never moves. Raises std::logic_error when
  // no jump instruction begins at `at`.
  void PatchJump(int32_t at, int32_t target);

  // The instruction an operator's text stands for; std::runtime_error for a text that is no
  // operator.
  static TOpcode OperatorOpcode(std::string_view text);

 private:
  void WriteOp(TOpcode op, std::initializer_list<uint32_t> operands = {});
  void CheckUsable() const;

  TVirtualMachine& vm_;
  int32_t capacity_ = kInitialCapacity;
  int32_t position_ = 0;
  int32_t end_ = 0;
  std::vector<uint8_t> buffer_;
  TSymInfoList info_;
  bool finished_ = false;
};

}  // namespace kelvo
