#pragma once
// The 8-byte encoded form of a cell inside code blocks and class files: the tag byte, three
// zero bytes, then the 32-bit little-endian payload. Object references are object handles,
// value pointers are handles of registered cells (TCellTable), host references are host
// handles.
#include <array>
#include <cstdint>

#include "values/ScriptValue.h"

namespace kelvo {

class TVirtualMachine;

using TEncodedValue = std::array<uint8_t, 8>;

// Raises EScriptError for a pointer to a cell that cannot be registered.
TEncodedValue EncodeValue(TVirtualMachine& vm, const TScriptValue& v);
// The raw (uncounted) cell of 8 encoded bytes. A tag above vkHost, non-zero filler bytes, and
// object or cell handles that lead nowhere raise EScriptError; null takes no payload.
TScriptValue DecodeValue(const TVirtualMachine& vm, const uint8_t* bytes);

}  // namespace kelvo
