#include "platform/Reporter.h"

#include <cstdio>

#include "platform/ShiftJis.h"

namespace kelvo {

void Reporter::MessageBox(const std::string& text) const {
  if (messageBox_) {
    messageBox_(text);
    return;
  }
  std::string line = SjisToUtf8(text);
  std::fprintf(stderr, "%s\n", line.c_str());
}

void Reporter::LogLine(const std::string& text) const {
  if (logLine_) logLine_(text);
}

}  // namespace kelvo
