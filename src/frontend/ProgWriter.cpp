#include "frontend/ProgWriter.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include "platform/ShiftJis.h"
#include "values/ScriptValue.h"
#include "values/ValueEncoding.h"
#include "vm/Function.h"
#include "vm/Rtti.h"
#include "vm/VirtualMachine.h"

namespace kelvo {

TProgWriter::TProgWriter(TVirtualMachine& vm) : vm_(vm), buffer_(kInitialCapacity, 0) {}

void TProgWriter::CheckUsable() const {
  if (finished_) throw std::logic_error("the code writer has already finished its block");
}

void TProgWriter::WriteBytes(const void* data, size_t size) {
  CheckUsable();
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < size; ++i) {
    if (position_ >= capacity_) {
      if (capacity_ > INT32_MAX / 2) throw std::length_error("code block too large");
      // Doubling keeps appending amortised constant time; the new bytes start zeroed.
      std::vector<uint8_t> grown(static_cast<size_t>(capacity_) * 2, 0);
      std::memcpy(grown.data(), buffer_.data(), static_cast<size_t>(end_));
      buffer_ = std::move(grown);
      capacity_ *= 2;
    }
    buffer_[static_cast<size_t>(position_)] = bytes[i];
    if (++position_ > end_) end_ = position_;
  }
}

void TProgWriter::WriteWord(uint32_t word) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8),
                            static_cast<uint8_t>(word >> 16), static_cast<uint8_t>(word >> 24)};
  WriteBytes(bytes, 4);
}

void TProgWriter::WriteOp(TOpcode op, std::initializer_list<uint32_t> operands) {
  WriteWord(static_cast<uint32_t>(op));
  for (uint32_t w : operands) WriteWord(w);
}

void TProgWriter::SetPosition(int32_t position) {
  CheckUsable();
  if (position < 0 || position > end_)
    throw std::out_of_range("code position " + std::to_string(position) + " outside the block");
  position_ = position;
}

void TProgWriter::RecordInfo(int32_t op, std::string_view text) {
  CheckUsable();
  info_.Record(op, position_, text);
}

std::unique_ptr<TCompiledInfo> TProgWriter::Finish() {
  CheckUsable();
  buffer_.resize(static_cast<size_t>(end_));
  buffer_.shrink_to_fit();
  auto block = std::make_unique<TCompiledInfo>(std::move(buffer_), std::move(info_));
  buffer_.clear();
  info_ = TSymInfoList();
  capacity_ = position_ = end_ = 0;
  finished_ = true;
  return block;
}

// ---- Emit operations ----

void TProgWriter::WritePush(const TScriptValue& cell, std::string_view text) {
  // Object references are counted and live only at run time; code never holds one.
  if (cell.Tag == vkObject || cell.Tag > vkHost) throw std::runtime_error("WritePush Error");
  const TEncodedValue encoded = EncodeValue(vm_, cell);
  RecordInfo(Op_Push, text);
  WriteWord(Op_Push);
  WriteBytes(encoded.data(), encoded.size());
}

void TProgWriter::WritePushInt(int32_t n) { WritePush(IntValue(n), {}); }
void TProgWriter::WritePushFloat(float x) { WritePush(FloatValue(x), {}); }

void TProgWriter::WritePushString(std::string_view text) {
  const uint32_t n = PushStringTextBytes(text.size());
  WriteOp(Op_PushString, {n});
  WriteBytes(text.data(), text.size());
  static constexpr uint8_t kZeros[4] = {0, 0, 0, 0};
  WriteBytes(kZeros, n - text.size());  // the terminating zero and the padding: 1 to 4 bytes
}

void TProgWriter::WriteMemberPtr(int32_t slot, std::string_view name) {
  RecordInfo(Op_SMemberValPtr, name);
  WriteOp(Op_SMemberValPtr, {static_cast<uint32_t>(slot)});
}

void TProgWriter::WriteDMemberPtr(std::string_view name) {
  const int32_t symbol = vm_.Symbols().SymbolOf(name);
  RecordInfo(Op_DMemberValPtr, name);
  WriteOp(Op_DMemberValPtr, {static_cast<uint32_t>(symbol), 0});
}

void TProgWriter::WriteDCall(std::string_view name, int32_t count) {
  const int32_t symbol = vm_.Symbols().SymbolOf(name);
  RecordInfo(Op_DCall, name);
  WriteOp(Op_DCall, {static_cast<uint32_t>(count), static_cast<uint32_t>(symbol), 0});
}

void TProgWriter::WriteSCall(int32_t index, int32_t count, std::string_view name) {
  RecordInfo(Op_SCall, name);
  WriteOp(Op_SCall, {static_cast<uint32_t>(count), static_cast<uint32_t>(index)});
}

void TProgWriter::WriteSuperCall(const TFunction& function, int32_t count,
                                 std::string_view name) {
  RecordInfo(Op_SuperCall, name);
  WriteOp(Op_SuperCall, {static_cast<uint32_t>(count), function.HostHandle()});
}

void TProgWriter::WriteNativeCall(const TFunction& function, int32_t count,
                                  std::string_view name) {
  RecordInfo(Op_NativeCall, name);
  WriteOp(Op_NativeCall, {static_cast<uint32_t>(count), function.HostHandle()});
}

void TProgWriter::WriteConstruct(const TRTTI& cls, int32_t count) {
  RecordInfo(Op_Constructor, cls.FullName);
  WriteOp(Op_Constructor, {static_cast<uint32_t>(count), cls.HostHandle()});
}

void TProgWriter::WriteIs(const TRTTI& cls) {
  RecordInfo(Op_Is, cls.FullName);
  WriteOp(Op_Is, {cls.HostHandle()});
}

void TProgWriter::WritePoint(const TRTTI& cls, int32_t position) {
  RecordInfo(Op_Point, cls.FullName + "," + std::to_string(position));
}

TOpcode TProgWriter::OperatorOpcode(std::string_view text) {
  // The first character decides; "+", "-" and "=" tell their two cases by the whole text,
  // "<" and ">" by the length.
  switch (text.empty() ? '\0' : text[0]) {
    case '=': return text == "=" ? Op_Subst : Op_EQ;
    case '+': return text == "+" ? Op_Add : Op_AddSubst;
    case '-': return text == "-" ? Op_Sub : Op_SubSubst;
    case '*': return Op_Mul;
    case '/': return Op_Div;
    case '%': return Op_Mod;
    case '!': return Op_NEQ;
    case '<': return text.size() == 1 ? Op_LT : Op_LTE;
    case '>': return text.size() == 1 ? Op_GT : Op_GTE;
    case '&': return Op_And;
    case '|': return Op_Or;
    default: break;
  }
  throw std::runtime_error(SJ("演算子") + std::string(text) + SJ("は使えません"));
}

void TProgWriter::WriteOperator(std::string_view text) { WriteOp(OperatorOpcode(text)); }

void TProgWriter::PatchJump(int32_t at, int32_t target) {
  CheckUsable();
  const bool fits = at >= 0 && static_cast<int64_t>(at) + 8 <= end_;
  const uint32_t op = fits ? ReadCodeWord(buffer_.data(), static_cast<size_t>(at)) : 0xFFFFFFFFu;
  if (op != Op_Jump && op != Op_JumpZero && op != Op_Jump_And && op != Op_Jump_Or &&
      op != Op_DoForIn)
    throw std::logic_error("no jump instruction at code position " + std::to_string(at));
  SetPosition(at);
  WriteOp(static_cast<TOpcode>(op), {static_cast<uint32_t>(target - at)});
  SeekToEnd();
}

}  // namespace kelvo
