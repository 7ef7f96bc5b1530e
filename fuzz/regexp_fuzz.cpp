// The regular expression service on arbitrary patterns and texts (scripts pass their own
// separators to split). Input: pattern body, a NUL, replacement, a NUL, text. Bad patterns
// must end in EBRegExpError; every result must be readable within its count.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/BRegExp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static kelvo::TBRegExp re;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t first = input.find('\0');
  std::string_view body = input.substr(0, first);
  std::string_view replacement, text;
  if (first != std::string_view::npos) {
    std::string_view rest = input.substr(first + 1);
    size_t second = rest.find('\0');
    replacement = rest.substr(0, second);
    if (second != std::string_view::npos) text = rest.substr(second + 1);
  }
  const std::string pattern = "/" + std::string(body) + "/";
  auto readAll = [&] {
    for (int i = 0; i < re.Count(); ++i) (void)re.Strings(i);
  };
  try {
    if (re.Match(pattern, text)) (void)re.GroupText(0);
    readAll();
  } catch (const kelvo::EBRegExpError&) {
  }
  try {
    re.Split(pattern, text, static_cast<int>(size % 5) - 1);
    readAll();
  } catch (const kelvo::EBRegExpError&) {
  }
  try {
    std::string subject(text);
    re.Subst("s/" + std::string(body) + "/" + std::string(replacement) + "/g", subject);
  } catch (const kelvo::EBRegExpError&) {
  }
  return 0;
}
