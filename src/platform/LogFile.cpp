#include "platform/LogFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/ShiftJis.h"

namespace kelvo {

Reporter::Sink MakeLogFileSink(const std::string& posixPath, std::string& error) {
  std::shared_ptr<FILE> file;
  if (posixPath == "-") {
    file.reset(stdout, [](FILE*) {});
  } else {
    FILE* f = std::fopen(posixPath.c_str(), "wb");
    if (!f) {
      error = posixPath + ": " + std::strerror(errno);
      return {};
    }
    file.reset(f, std::fclose);
  }
  return [file](const std::string& text) {
    std::string line = SjisToUtf8(text);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), file.get());
    std::fflush(file.get());
  };
}

}  // namespace kelvo
