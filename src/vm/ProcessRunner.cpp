#include "vm/ProcessRunner.h"

#include "vm/Diagnostics.h"
#include "vm/Process.h"

namespace kelvo {

TProcessRunner::TProcessRunner(TVirtualMachine& vm) : vm_(vm) { vm_.SetRunner(this); }

TProcessRunner::~TProcessRunner() {
  if (vm_.Runner() == this) vm_.SetRunner(nullptr);
}

void TProcessRunner::RunHook(TInstance& inst, const char* method) {
  TProcess* process = nullptr;
  try {
    process = CreateProcess(vm_, &inst, method);
  } catch (const std::exception& e) {
    TRunState& rs = vm_.RunState();
    if (rs.Diagnostics)
      rs.Diagnostics->Report(e.what(), true);
    else
      vm_.Report().MessageBox(e.what());
    return;
  }
  Run(process, TRunState::kStandardBudget);
  FreeProcess(process);
}

void TProcessRunner::RunDestructor(TInstance& inst) { RunHook(inst, "destructor"); }

void TProcessRunner::RunGcMark(TInstance& inst) {
  TRunState& rs = vm_.RunState();
  const int32_t saved = rs.GlobalBudget;
  RunHook(inst, "gc_mark");
  rs.GlobalBudget = saved;
}

}  // namespace kelvo
