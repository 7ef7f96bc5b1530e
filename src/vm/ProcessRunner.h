#pragma once
// The script hooks of the object life cycle, run as processes: each call creates a process on
// the instance, runs it once with the standard budget and frees it. Constructing one installs
// it as the machine's runner; destroying it uninstalls it.
#include "vm/VirtualMachine.h"

namespace kelvo {

class TProcessRunner : public TScriptRunner {
 public:
  explicit TProcessRunner(TVirtualMachine& vm);
  ~TProcessRunner() override;
  TProcessRunner(const TProcessRunner&) = delete;
  TProcessRunner& operator=(const TProcessRunner&) = delete;

  void RunDestructor(TInstance& inst) override;
  void RunGcMark(TInstance& inst) override;

 private:
  // Errors of process creation are reported like errors inside the process.
  void RunHook(TInstance& inst, const char* method);
  TVirtualMachine& vm_;
};

}  // namespace kelvo
