#pragma once
// The information entries of one compiled code block: which instructions refer to which
// names (so the block can be relinked after it is loaded into another run, and listed in the
// debugger), and which code offsets begin which source positions.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

class TByteReader;
class TByteWriter;

// All instructions of one opcode that refer to one name (or to no name: the empty text).
struct TCInfoElem {
  std::vector<int32_t> Addresses;  // code offsets, each the first byte of an instruction
  int32_t Op = 0;
  std::string Text;
};

// A source position: "ClassFullName,offset", and the code offset where it begins.
struct TPositionEntry {
  std::string Text;
  int32_t Offset = 0;
};

class TSymInfoList {
 public:
  // Op_Point entries go to the positions; every other entry joins the entry with the same
  // opcode and exactly the same text (letter case counts), or starts a new one.
  void Record(int32_t op, int32_t offset, std::string_view text);

  const std::vector<TCInfoElem>& Elems() const { return elems_; }
  const std::vector<TPositionEntry>& Positions() const { return positions_; }

  // The text of the last position entry whose offset is strictly below `offset`, or "none".
  std::string PositionOf(int32_t offset) const;

  // One line per address of every entry, in entry order:
  // "op=Op_DMemberValPtr ,addr=8 ,info=x". Positions are not listed.
  void Dump(std::vector<std::string>& lines) const;

  // The entries in the block format of class files (positions are not stored). Load
  // replaces the entries and leaves the positions empty; EReadError when the data is short.
  void Save(TByteWriter& out) const;
  void Load(TByteReader& in);

 private:
  std::vector<TCInfoElem> elems_;
  std::vector<TPositionEntry> positions_;
};

}  // namespace kelvo
