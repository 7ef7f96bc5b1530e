#pragma once
// TCompiledInfo: one compiled code block (a class's main code or a bytecode function's body)
// together with its information entries. The writer's Finish makes it; class files store it
// and, after loading, Relink re-resolves the names its operands refer to.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "frontend/SymInfoList.h"
#include "vm/CodeBlock.h"

namespace kelvo {

class TByteReader;
class TByteWriter;
class TRelinkLookup;
class TRTTI;

class TCompiledInfo : public TCodeBlock {
 public:
  TCompiledInfo(std::vector<uint8_t> code, TSymInfoList info)
      : TCodeBlock(std::move(code)), Info(std::move(info)) {}

  // The source position ("ClassFullName,offset") of a code offset, or "none"; run-time error
  // traces show it.
  std::string PositionAt(int32_t offset) const override { return Info.PositionOf(offset); }
  void Dump(std::vector<std::string>& lines) const { Info.Dump(lines); }

  // Re-resolves every operand the entries name, for the code of `cls` (its main code or one
  // of its functions): global and resource values, member slots, symbols, method-table
  // indexes, functions and classes. A name that cannot be resolved raises its message
  // ("メソッド" + name + "が見つかりません", ...); an entry that does not fit the code raises
  // "クラスファイル" + class name + "は壊れています。". Entries before a failure stay relinked.
  void Relink(TRTTI& cls, TRelinkLookup& lookup);

  // The block format of class files: the entries, then the code size and the code bytes.
  void Save(TByteWriter& out) const;
  // EReadError when the data is shorter than it claims.
  static std::unique_ptr<TCompiledInfo> Load(TByteReader& in);

  TSymInfoList Info;
};

}  // namespace kelvo
