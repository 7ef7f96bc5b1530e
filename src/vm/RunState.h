#pragma once
// The program-wide state around running processes: the current process, the debugger's step
// allowance, the preemption flag, the scratch cell for missing arguments, the counters of live
// processes and stacks, and the nesting of Run inside natives.
#include <cstdint>

#include "values/ScriptValue.h"

namespace kelvo {

class TProcess;
class TDebugStopHook;
class TDiagnostics;
class TRTTI;

struct TRunState {
  // The standard budget of a Run; as GlobalBudget it means "no step limit".
  static constexpr int32_t kStandardBudget = 123456;
  // How deep Run may nest inside natives (a native running a process that calls a native
  // that runs another …). A Run beyond it ends its process with kNestingMessage.
  static constexpr int32_t kMaxRunNesting = 200;

  TProcess* CurrentProcess = nullptr;
  int32_t GlobalBudget = kStandardBudget;
  bool Preempted = false;
  bool PreemptionCheck = true;
  bool DebugStopped = false;
  TScriptValue MissingArgCell;
  int64_t LiveProcesses = 0;
  int64_t LiveStacks = 0;
  int32_t RunNesting = 0;

  // Entered when the step allowance is spent. Without a hook the allowance is lifted
  // (GlobalBudget becomes unlimited) and the process goes on.
  TDebugStopHook* DebugHook = nullptr;
  // Where run-time errors are reported; without it they go to the machine's reporter as a
  // message box.
  TDiagnostics* Diagnostics = nullptr;

  // The kernel class classes.lang.Array and the slot of its element list "_x", found at boot;
  // for … in loops need them.
  TRTTI* ArrayClass = nullptr;
  int32_t ArrayListSlot = -1;

  // Cells of array element lists now alive (shown by the frame loop as list=).
  int64_t LiveListCells = 0;
};

}  // namespace kelvo
