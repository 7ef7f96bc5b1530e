#include "resources/TextFile.h"

#include "platform/Files.h"
#include "platform/Reporter.h"
#include "platform/ShiftJis.h"

namespace kelvo {

std::vector<std::string> SplitTextLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

namespace {

std::string ReadOrFail(Reporter& reporter, const std::string& path) {
  std::optional<std::string> bytes = ReadFileBytes(path);
  if (!bytes) {
    reporter.MessageBox(path + SJ("が見つかりません"));
    throw EInOutError("Cannot open file \"" + path + "\"");
  }
  return *bytes;
}

}  // namespace

std::string loadTextFile(Reporter& reporter, const std::string& path) {
  std::string text;
  for (const std::string& line : SplitTextLines(ReadOrFail(reporter, path))) text += line + "\r\n";
  return text;
}

std::string loadJoinedLines(Reporter& reporter, const std::string& path) {
  std::string text;
  bool first = true;
  for (const std::string& line : SplitTextLines(ReadOrFail(reporter, path))) {
    if (!first) text += "\r\n";
    text += line;
    first = false;
  }
  return text;
}

}  // namespace kelvo
