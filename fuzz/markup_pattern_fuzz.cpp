// The pattern markup reader on arbitrary bytes: it may raise "Tag Error" (or a regular
// expression error), and reports unclosed elements through the message box sink; it must
// never crash or leave the cursor outside the text.
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/BRegExp.h"
#include "platform/Reporter.h"
#include "resources/SGML.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static kelvo::TBRegExp regExp;  // shared as in the program; it keeps no state between calls
  kelvo::Reporter reporter;
  size_t boxes = 0;
  reporter.SetMessageBoxSink([&](const std::string&) { ++boxes; });
  kelvo::TSGMLParser parser(regExp, reporter);

  std::vector<char> text(data, data + size);
  text.push_back('\0');
  const char* cursor = text.data();
  const char* end = text.data() + size;
  try {
    std::unique_ptr<kelvo::TSGML> element = parser.parseElement(cursor);
    if (cursor < text.data() || cursor > end) std::abort();
    (void)element->toText();
  } catch (const std::runtime_error&) {
  }
  return 0;
}
