#pragma once
// Class files: the compiled form of a class saved after a successful compilation, so the next
// run can load it instead of compiling the source again. A file holds the class's parent, its
// own member names, its own methods (argument and local names, compiled code) and its main
// code, and is valid only for the exact time stamp of the source it was made from.
//
// Layout (integers 32-bit little-endian, strings length + 1 then the bytes and a zero byte):
//   version (11100 when written), source stamp (FileAge of the source, -1 when missing),
//   parent full name (empty without a parent), own member names (count, then the names),
//   own methods (count, then one record each: kind name, name and, for bytecode kinds, the
//   argument names, the local names and the code block), the main code block.
#include <cstdint>
#include <string_view>
#include <vector>

namespace kelvo {

class TByteReader;
class TRelinkLookup;
class TRTTI;

constexpr int32_t kClassFileVersion = 11100;
// The newest version a loader accepts.
constexpr int32_t kClassFileNewestVersion = 50000;

// The class file of a compiled class, as bytes. Only the class's own members (those the
// parent's member list does not hold) and the functions it owns are written.
std::vector<uint8_t> ClassFileBytes(const TRTTI& cls);
// Writes ClassFileBytes to `file` (a system path), creating or replacing it; true on success.
bool SaveClassFile(const TRTTI& cls, std::string_view file);

// Fills an uncompiled class from class-file data. Answers true when the class is now
// compiled, false when the file does not fit: a version outside 11100..50000, a source stamp
// other than the current one of the class's source, or a parent that is not compiled yet (the
// class keeps that Parent then). Raises (std::runtime_error) for a parent that does not exist
// ("親クラス" + name + "はありません。"), a function kind it does not know or other
// inconsistent contents ("クラスファイル" + class + "は壊れています。"), a name relinking
// cannot resolve, and data shorter than it claims (EReadError).
//
// The whole file is read and checked before the class changes; when relinking fails after
// the class was filled, the class is reset (ResetClass), so a failed load never leaves a
// half-built class behind.
bool LoadClassFile(TRTTI& cls, TByteReader& in, TRelinkLookup& lookup);
// The same from a file (a system path); false when the file cannot be read.
bool LoadClassFile(TRTTI& cls, std::string_view file, TRelinkLookup& lookup);

}  // namespace kelvo
