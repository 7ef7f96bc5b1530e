#pragma once
// Text files as the resource side reads them: Shift-JIS lines ended by CR LF, LF or CR.
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

class Reporter;

// The host's file error: a file that cannot be opened or read.
class EInOutError : public std::runtime_error {
 public:
  explicit EInOutError(const std::string& message) : std::runtime_error(message) {}
};

// The lines of a text; a last line without line end counts, an empty text has none.
std::vector<std::string> SplitTextLines(std::string_view text);

// The file's lines, each followed by CR LF. A missing file shows path + "が見つかりません"
// and raises EInOutError.
std::string loadTextFile(Reporter& reporter, const std::string& path);
// The file's lines joined with CR LF (no line end after the last); the same failure.
std::string loadJoinedLines(Reporter& reporter, const std::string& path);

}  // namespace kelvo
