#include "values/Conversions.h"

#include <cstdio>
#include <cstdlib>

#include "platform/ShiftJis.h"
#include "values/Strings.h"
#include "vm/VirtualMachine.h"

namespace kelvo {

std::string FloatToText(float f) {
  const long double x = f;  // exact: every single is an extended value
  if (std::isnan(x)) return "NAN";
  if (std::isinf(x)) return x > 0 ? "INF" : "-INF";
  if (x == 0) return "0";

  // 15 significant digits, correctly rounded: d.dddddddddddddde[+-]x
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14Le", x);
  const char* p = buf;
  std::string sign;
  if (*p == '-') {
    sign = "-";
    ++p;
  }
  std::string digits;
  for (; *p && *p != 'e'; ++p)
    if (*p != '.') digits += *p;
  const int exponent = *p == 'e' ? std::atoi(p + 1) : 0;
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out = sign;
  if (exponent >= 15 || exponent < -4) {
    out += digits[0];
    if (digits.size() > 1) out += "." + digits.substr(1);
    out += "E";
    if (exponent < 0) out += "-";
    out += std::to_string(exponent < 0 ? -exponent : exponent);
  } else if (exponent >= 0) {
    const size_t intDigits = static_cast<size_t>(exponent) + 1;
    if (digits.size() <= intDigits) {
      out += digits + std::string(intDigits - digits.size(), '0');
    } else {
      out += digits.substr(0, intDigits) + "." + digits.substr(intDigits);
    }
  } else {
    out += "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
  }
  return out;
}

namespace {

std::string ValueText(const TVirtualMachine& vm, const TScriptValue& v, int depth) {
  switch (v.Tag) {
    case vkNull: return "null";
    case vkInt: return std::to_string(v.Int);
    case vkFloat: return FloatToText(v.Float);
    case vkObject:
      if (!v.Object) return "null";
      if (IsStringObject(vm, v.Object)) return StringText(vm, *v.Object);
      return v.Object->Class->Name + "@" + std::to_string(v.Object->Handle);
    case vkRef:
      // A pointer never designates a pointer in compiled code; the depth bound keeps a
      // self-designating cell from recursing without end.
      if (!v.Ref || depth > 8) return "[]";
      return "[" + ValueText(vm, *v.Ref, depth + 1) + "]";
    case vkHost: {
      THostObject* host = vm.Hosts().Find(v.Host);
      return host ? host->HostClassName() : "TObject";
    }
  }
  return "null";
}

}  // namespace

std::string ValToText(const TVirtualMachine& vm, const TScriptValue& v) {
  return ValueText(vm, v, 0);
}

std::string QuoteStringLiteral(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(c) && i + 1 < text.size()) {
      out += text[i];
      out += text[++i];  // a trail byte is copied as it is, even the backslash code
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      default: out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string ValToLiteral(const TVirtualMachine& vm, const TScriptValue& v) {
  if (v.Tag == vkObject && v.Object) {
    if (IsStringObject(vm, v.Object)) return QuoteStringLiteral(StringText(vm, *v.Object));
    return "objectFromID(" + std::to_string(v.Object->Handle) + ")";
  }
  return ValToText(vm, v);
}

}  // namespace kelvo
