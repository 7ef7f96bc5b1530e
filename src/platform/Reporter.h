#pragma once
// The one way messages leave a component: a modal message box, or a log line. The window
// installs sinks that show them; until then a message box is one UTF-8 line on stderr and a
// log line is dropped. Texts are Shift-JIS, as everywhere inside the system.
#include <functional>
#include <string>

namespace kelvo {

class Reporter {
 public:
  using Sink = std::function<void(const std::string& sjisText)>;

  void SetMessageBoxSink(Sink sink) { messageBox_ = std::move(sink); }
  void SetLogLineSink(Sink sink) { logLine_ = std::move(sink); }

  // Shows `text` and returns when the user has closed it.
  void MessageBox(const std::string& text) const;
  void LogLine(const std::string& text) const;

 private:
  Sink messageBox_;
  Sink logLine_;
};

}  // namespace kelvo
