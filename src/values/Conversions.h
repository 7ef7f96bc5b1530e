#pragma once
// Conversions of a cell to integer, float, truth and text, and the source-literal form.
// None of them counts.
#include <cmath>
#include <cstdint>
#include <string>

#include "values/ScriptValue.h"

namespace kelvo {

class TVirtualMachine;

// Truncation toward zero to 64 bits as the host FPU does it: values outside the 64-bit range
// and NaN give the "integer indefinite" INT64_MIN instead of undefined behaviour.
inline int64_t TruncTo64(long double x) {
  if (!(std::fabs(x) < 9223372036854775808.0L)) return INT64_MIN;
  return static_cast<int64_t>(x);
}

inline int32_t ValToInt(const TScriptValue& v) {
  switch (v.Tag) {
    case vkInt: return v.Int;
    case vkFloat: return static_cast<int32_t>(static_cast<uint32_t>(TruncTo64(v.Float)));
    case vkObject: return 1;
    default: return 0;
  }
}

inline float ValToFloat(const TScriptValue& v) {
  switch (v.Tag) {
    case vkInt: return static_cast<float>(v.Int);
    case vkFloat: return v.Float;
    default: return 0.0f;
  }
}

inline bool ValIsTrue(const TScriptValue& v) {
  switch (v.Tag) {
    case vkInt: return v.Int != 0;
    case vkFloat: return v.Float != 0.0f;
    case vkObject: return true;
    case vkHost: return true;
    default: return false;
  }
}

// The text of a single-precision value: widened without rounding, 15 significant digits,
// exponent form from 1E15 up and below 1E-4 (0.1 gives 0.100000001490116).
std::string FloatToText(float f);

// The text form of a value: null, decimal integers, float text, a string's text,
// ClassName@handle for other objects, [target] for value pointers, the host class name.
std::string ValToText(const TVirtualMachine& vm, const TScriptValue& v);

// Source text that evaluates back to the value: strings quoted with escapes, other objects as
// objectFromID(handle), everything else as its text.
std::string ValToLiteral(const TVirtualMachine& vm, const TScriptValue& v);

// The quoted, escaped form of a Shift-JIS text, the inverse of the compiler's string constant
// decoding.
std::string QuoteStringLiteral(const std::string& text);

}  // namespace kelvo
