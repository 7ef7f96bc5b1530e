#pragma once
// Where every diagnostic of the system goes: log lines and reports. A log line's text is not
// shown; what matters is that logging keeps the program alive during long work (the keep-alive
// hook pumps the sequencer, window messages during boot, the busy mark and the loader window).
// A report may also show its text in a modal message box.
#include <exception>
#include <functional>
#include <string>

#include "platform/Reporter.h"

namespace kelvo {

class TDiagnostics {
 public:
  explicit TDiagnostics(Reporter& reporter) : reporter_(reporter) {}

  // Called once by every log line and report before anything else.
  void SetKeepAlive(std::function<void()> hook) { keepAlive_ = std::move(hook); }
  // Called when a drawing surface was used in a state where it cannot work.
  void SetSkipDrawHook(std::function<void()> hook) { skipDraw_ = std::move(hook); }

  void LogLine(const std::string& text) { Report(text, false); }
  // Keeps the program alive, hands the text to the log sink, and with `showDialog` shows it
  // in a message box and returns when it is closed.
  void Report(const std::string& text, bool showDialog);
  // Receives every host error that escapes a window event handler.
  void HandleApplicationError(const std::exception& error);

 private:
  Reporter& reporter_;
  std::function<void()> keepAlive_;
  std::function<void()> skipDraw_;
};

}  // namespace kelvo
