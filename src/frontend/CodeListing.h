#pragma once
// The code listing the debugger shows: one line per instruction, "AAAAAAAA:text", up to the
// first Op_Halt.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kelvo {

// What the listing needs to know about the machine to name operands. The virtual machine
// implements it; the listing itself only reads code words.
class TListingNames {
 public:
  virtual ~TListingNames() = default;
  // The text of an encoded value cell (a pointer shows as "[" + designated value + "]").
  virtual std::string CellText(uint8_t tag, uint32_t payload) const = 0;
  virtual std::string SymbolName(uint32_t symbol) const = 0;
  virtual std::string FunctionName(uint32_t function) const = 0;
  // Class name + "@" + a number identifying the class.
  virtual std::string ClassIdentity(uint32_t classHandle) const = 0;
  virtual std::string ClassName(uint32_t classHandle) const = 0;
};

// Appends the listing of `code` to `lines`, up to the first Op_Halt or the end of the block.
// An invalid opcode, or an instruction running past the end of the block, raises
// "異常な命令が入っています"; the lines added before stay.
void ListCode(const uint8_t* code, size_t size, const TListingNames& names,
              std::vector<std::string>& lines);

}  // namespace kelvo
