#pragma once
// A log-line sink that writes each line as UTF-8 to a file, or to stdout for "-".
#include <string>

#include "platform/Reporter.h"

namespace kelvo {

// Returns an empty sink when the file cannot be opened; `error` then says why.
Reporter::Sink MakeLogFileSink(const std::string& posixPath, std::string& error);

}  // namespace kelvo
