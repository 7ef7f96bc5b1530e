#include "frontend/CodeListing.h"

#include <cstdio>
#include <stdexcept>

#include "frontend/Instructions.h"
#include "platform/ShiftJis.h"

namespace kelvo {
namespace {

std::string Decimal(uint32_t word) { return std::to_string(static_cast<int32_t>(word)); }

std::string OperandText(const uint8_t* code, size_t at, uint32_t length, TListingForm form,
                        const TListingNames& names) {
  auto word = [&](int i) { return ReadCodeWord(code, at + 4 * static_cast<size_t>(i)); };
  switch (form) {
    case TListingForm::kNone: return "";
    case TListingForm::kCell: return " " + names.CellText(code[at + 4], word(2));
    case TListingForm::kString: {
      const char* text = reinterpret_cast<const char*>(code + at + 8);
      size_t n = length - 8, len = 0;
      while (len < n && text[len] != '\0') ++len;
      return " " + std::string(text, len);
    }
    case TListingForm::kIndex1: return " " + Decimal(word(1));
    case TListingForm::kIndex2: return " " + Decimal(word(2));
    case TListingForm::kSymbolName1: return " " + names.SymbolName(word(1));
    case TListingForm::kCountSymbol:
      return " " + Decimal(word(1)) + "," + names.SymbolName(word(2));
    case TListingForm::kCountIndex: return " " + Decimal(word(1)) + "," + Decimal(word(2));
    case TListingForm::kCountFunction:
      return " " + Decimal(word(1)) + "," + names.FunctionName(word(2));
    case TListingForm::kCountClass:
      return " " + Decimal(word(1)) + "," + names.ClassIdentity(word(2));
    case TListingForm::kClass1: return " " + names.ClassIdentity(word(1));
    case TListingForm::kOffset1: return Decimal(word(1));
    case TListingForm::kPoint: return " " + names.ClassName(word(1)) + "/" + Decimal(word(2));
  }
  return "";
}

}  // namespace

void ListCode(const uint8_t* code, size_t size, const TListingNames& names,
              std::vector<std::string>& lines) {
  size_t at = 0;
  while (at < size) {
    uint32_t length = InstructionLength(code, size, at);
    if (length == 0) throw std::runtime_error(SJ("異常な命令が入っています"));
    int32_t op = static_cast<int32_t>(ReadCodeWord(code, at));
    if (op == Op_Halt) return;
    const TInstructionInfo& info = kInstructions[op];
    char address[16];
    std::snprintf(address, sizeof address, "%08X:", static_cast<unsigned>(at));
    lines.push_back(address + std::string(info.listingName) +
                    OperandText(code, at, length, info.form, names));
    at += length;
  }
}

}  // namespace kelvo
