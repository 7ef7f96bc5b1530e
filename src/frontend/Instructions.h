#pragma once
// The instruction set of the script machine, defined once. Code is a byte array of 32-bit
// little-endian words; every instruction is its opcode word followed by its operand words.
// The writer, the peephole pass, the interpreter and the listing all derive from this table.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kelvo {

// How the listing shows an instruction's operands (the text follows the instruction's
// listing name).
enum class TListingForm : uint8_t {
  kNone,            // the name alone
  kCell,            // " " + text of the value cell at word 1
  kString,          // " " + the zero-terminated text from word 2 on
  kIndex1,          // " " + word 1 in decimal
  kIndex2,          // " " + word 2 in decimal (fused forms keep a leftover at word 1)
  kSymbolName1,     // " " + the name of the symbol at word 1
  kCountSymbol,     // " " + count (word 1) + "," + name of the symbol at word 2
  kCountIndex,      // " " + count + "," + method-table index (word 2)
  kCountFunction,   // " " + count + "," + name of the function at word 2
  kCountClass,      // " " + count + "," + identity text of the class at word 2
  kClass1,          // " " + identity text of the class at word 1
  kOffset1,         // word 1 (a signed offset) directly after the name
  kPoint,           // " " + plain class name (word 1) + "/" + position (word 2)
};

// X(enumerator, number, length in bytes (0 = variable), listing name, listing form)
#define KELVO_INSTRUCTIONS(X)                                                         \
  X(Op_Pop, 0, 4, "Pop", kNone)                                                        \
  X(Op_Push, 1, 12, "Push", kCell)                                                     \
  X(Op_PushString, 2, 0, "PushString", kString)                                        \
  X(Op_PushThis, 3, 4, "PushThis", kNone)                                              \
  X(Op_SMemberValPtr, 4, 8, "SMemberValPtr", kIndex1)                                  \
  X(Op_DMemberValPtr, 5, 12, "DMemberValPtr", kSymbolName1)                            \
  X(Op_LocalValPtr, 6, 8, "LocalValPtr", kIndex1)                                      \
  X(Op_ArgValPtr, 7, 8, "ArgValPtr", kIndex1)                                          \
  X(Op_PushThis_SMemberValPtr, 8, 12, "PushThis_SMemberValPtr", kIndex2)               \
  X(Op_PushThis_SMemberValPtr_Deref, 9, 16, "PushThis_SMemberValPtr_Deref", kIndex2)   \
  X(Op_DMemberValPtr_Deref, 10, 16, "DMemberValPtr_Deref", kIndex1)                    \
  X(Op_LocalValPtr_Deref, 11, 12, "LocalValPtr_Deref", kIndex1)                        \
  X(Op_ArgValPtr_Deref, 12, 12, "ArgValPtr_Deref", kIndex1)                            \
  X(Op_Push_Deref, 13, 16, "Push_Deref", kCell)                                        \
  X(Op_DCall, 14, 16, "DCall", kCountSymbol)                                           \
  X(Op_SCall, 15, 12, "SCall", kCountIndex)                                            \
  X(Op_SuperCall, 16, 12, "SuperCall", kCountFunction)                                 \
  X(Op_NativeCall, 17, 12, "NativeCall", kCountFunction)                               \
  X(Op_Constructor, 18, 12, "Constructor", kCountClass)                                \
  X(Op_Add, 19, 4, "Add", kNone)                                                       \
  X(Op_Sub, 20, 4, "Sub", kNone)                                                       \
  X(Op_Mul, 21, 4, "Mul", kNone)                                                       \
  X(Op_Div, 22, 4, "Div", kNone)                                                       \
  X(Op_Mod, 23, 4, "Mod", kNone)                                                       \
  X(Op_GT, 24, 4, "GT", kNone)                                                         \
  X(Op_GTE, 25, 4, "GTE", kNone)                                                       \
  X(Op_LT, 26, 4, "LT", kNone)                                                         \
  X(Op_LTE, 27, 4, "LTE", kNone)                                                       \
  X(Op_EQ, 28, 4, "EQ", kNone)                                                         \
  X(Op_NEQ, 29, 4, "NEQ", kNone)                                                       \
  X(Op_And, 30, 4, "And", kNone)                                                       \
  X(Op_Or, 31, 4, "Or", kNone)                                                         \
  X(Op_Is, 32, 8, "Is", kClass1)                                                       \
  X(Op_Not, 33, 4, "Not", kNone)                                                       \
  X(Op_Neg, 34, 4, "Neg", kNone)                                                       \
  X(Op_Subst, 35, 4, "Subst", kNone)                                                   \
  X(Op_AddSubst, 36, 4, "AddSubst", kNone)                                             \
  X(Op_SubSubst, 37, 4, "SubSubst", kNone)                                             \
  X(Op_Deref, 38, 4, "Deref", kNone)                                                   \
  X(Op_Jump, 39, 8, "Jump", kOffset1)                                                  \
  X(Op_JumpZero, 40, 8, "JumpZero", kOffset1)                                          \
  X(Op_Jump_And, 41, 8, "Jump_And", kOffset1)                                          \
  X(Op_Jump_Or, 42, 8, "Jump_Or", kOffset1)                                            \
  X(Op_Ret, 43, 4, "Ret", kNone)                                                       \
  X(Op_InitForIn, 44, 4, "InitForin", kNone)                                           \
  X(Op_DoForIn, 45, 8, "DoForin", kOffset1)                                            \
  X(Op_ClearForIn, 46, 4, "ClearForin", kNone)                                         \
  X(Op_Point, 47, 16, "Point", kPoint)                                                 \
  X(Op_Halt, 48, 4, "Halt", kNone)

enum TOpcode : int32_t {
#define KELVO_OPCODE_ENUM(name, number, length, text, form) name = number,
  KELVO_INSTRUCTIONS(KELVO_OPCODE_ENUM)
#undef KELVO_OPCODE_ENUM
};

inline constexpr int32_t kOpcodeCount = Op_Halt + 1;

struct TInstructionInfo {
  std::string_view name;         // "Op_Pop"
  uint32_t length;               // bytes including the opcode word; 0 for Op_PushString
  std::string_view listingName;  // "Pop"
  TListingForm form;
};

inline constexpr TInstructionInfo kInstructions[kOpcodeCount] = {
#define KELVO_OPCODE_INFO(name, number, length, text, form) \
  {#name, length, text, TListingForm::form},
    KELVO_INSTRUCTIONS(KELVO_OPCODE_INFO)
#undef KELVO_OPCODE_INFO
};

constexpr bool IsValidOpcode(int32_t op) { return op >= 0 && op < kOpcodeCount; }

// "Op_Pop" … "Op_Halt"; "Invalid Code" for any other number.
constexpr std::string_view OpcodeName(int32_t op) {
  return IsValidOpcode(op) ? kInstructions[op].name : std::string_view("Invalid Code");
}

// The padded text size n of an Op_PushString: the smallest multiple of 4 greater than the
// text's length, so there is always room for the terminating zero.
constexpr uint32_t PushStringTextBytes(size_t textLength) {
  return static_cast<uint32_t>((textLength / 4 + 1) * 4);
}

inline uint32_t ReadCodeWord(const uint8_t* code, size_t offset) {
  return static_cast<uint32_t>(code[offset]) | static_cast<uint32_t>(code[offset + 1]) << 8 |
         static_cast<uint32_t>(code[offset + 2]) << 16 |
         static_cast<uint32_t>(code[offset + 3]) << 24;
}

// The length in bytes of the instruction at `offset`, or 0 when the opcode is invalid or the
// instruction does not fit in the `size` bytes of the block.
uint32_t InstructionLength(const uint8_t* code, size_t size, size_t offset);

}  // namespace kelvo
