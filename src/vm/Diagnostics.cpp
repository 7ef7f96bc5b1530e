#include "vm/Diagnostics.h"

#include "platform/Errors.h"

namespace kelvo {

void TDiagnostics::Report(const std::string& text, bool showDialog) {
  if (keepAlive_) keepAlive_();
  reporter_.LogLine(text);
  if (showDialog) reporter_.MessageBox(text);
}

void TDiagnostics::HandleApplicationError(const std::exception& error) {
  if (dynamic_cast<const EInvalidOperation*>(&error)) {
    if (skipDraw_) skipDraw_();
    LogLine(error.what());
  } else {
    Report(error.what(), true);
  }
}

}  // namespace kelvo
