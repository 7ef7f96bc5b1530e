#include "frontend/SymInfoList.h"

#include "frontend/Instructions.h"
#include "platform/ByteStream.h"

namespace kelvo {

void TSymInfoList::Record(int32_t op, int32_t offset, std::string_view text) {
  if (op == Op_Point) {
    positions_.push_back({std::string(text), offset});
    return;
  }
  for (TCInfoElem& elem : elems_) {
    if (elem.Op == op && elem.Text == text) {
      elem.Addresses.push_back(offset);
      return;
    }
  }
  elems_.push_back({{offset}, op, std::string(text)});
}

std::string TSymInfoList::PositionOf(int32_t offset) const {
  for (auto it = positions_.rbegin(); it != positions_.rend(); ++it)
    if (it->Offset < offset) return it->Text;
  return "none";
}

void TSymInfoList::Dump(std::vector<std::string>& lines) const {
  for (const TCInfoElem& elem : elems_) {
    const std::string head = "op=" + std::string(OpcodeName(elem.Op)) + " ,addr=";
    for (int32_t address : elem.Addresses)
      lines.push_back(head + std::to_string(address) + " ,info=" + elem.Text);
  }
}

void TSymInfoList::Save(TByteWriter& out) const {
  out.WriteInt(static_cast<int32_t>(elems_.size()));
  for (const TCInfoElem& elem : elems_) {
    out.WriteInt(elem.Op);
    out.WriteString(elem.Text);
    out.WriteInt(static_cast<int32_t>(elem.Addresses.size()));
    for (int32_t address : elem.Addresses) out.WriteInt(address);
  }
}

void TSymInfoList::Load(TByteReader& in) {
  std::vector<TCInfoElem> elems;
  // An entry takes at least its opcode, a one-byte text with its length, and its count.
  const int32_t count = in.ReadCount(4 + 5 + 4);
  elems.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    TCInfoElem elem;
    elem.Op = in.ReadInt();
    elem.Text = in.ReadString();
    const int32_t addresses = in.ReadCount(4);
    elem.Addresses.reserve(static_cast<size_t>(addresses));
    for (int32_t a = 0; a < addresses; ++a) elem.Addresses.push_back(in.ReadInt());
    elems.push_back(std::move(elem));
  }
  elems_ = std::move(elems);
  positions_.clear();
}

}  // namespace kelvo
