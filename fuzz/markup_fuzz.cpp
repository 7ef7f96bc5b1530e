// The fast markup reader on arbitrary bytes: it must never fail, never read past the NUL and
// leave the cursor inside the text; writing the result back must work for any tree it built.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "resources/SGML.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<char> text(data, data + size);
  text.push_back('\0');
  const char* cursor = text.data();
  const char* end = text.data() + size;
  while (cursor < end) {
    const char* before = cursor;
    std::unique_ptr<kelvo::TSGML> element = kelvo::TSGML::readElement(cursor);
    if (cursor < before || cursor > end) std::abort();
    if (!element) {
      // Nothing read: either the end, or a closing tag at the cursor; step over it.
      if (cursor == before) ++cursor;
      continue;
    }
    std::string written = element->toText();
    // Values are written unescaped, so the writer's text need not read back the same; reading
    // it must still be safe.
    const char* again = written.c_str();
    std::unique_ptr<kelvo::TSGML> reread = kelvo::TSGML::readElement(again);
    (void)reread;
  }
  return 0;
}
