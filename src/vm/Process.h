#pragma once
// Script processes: a receiver, a stack of operand cells and call frames, an instruction
// pointer and a small state. Processes are cooperative; Run executes one until its budget is
// spent, it suspends itself or it ends. Errors raised while a process runs end that process
// only: they are reported with a trace and never reach the caller of Run.
//
// Stack. The cells of a process live in one block that grows toward its start. The block is
// reserved at its full size (kStackCells) but the system only commits the pages a process
// touches, so a process that never recurses costs one page, while deep recursion (thousands
// of frames) has room. Cells never move, so value pointers (vkRef) and frame links stay
// valid. Every push is checked against the limit, and running out of room raises the
// run-time error "スタックがあふれました" instead of writing past the block.
//
// Frame layout, from the end of the block toward its start: the frame's this cell (for the
// outermost frame the last cell of the block), the argument cells (argument i lies i + 1
// cells below this), the frame record in the 4 cells below the last argument, then the
// locals (local k lies k + 1 cells below the record) and the frame's operand stack.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "values/HostObject.h"
#include "values/ScriptValue.h"
#include "vm/CodeBlock.h"

namespace kelvo {

class TVirtualMachine;
class TNormalFunction;
class TCollector;

// The three words of Op_Point: class handle, source position, 0.
struct TPoint {
  uint32_t Words[3] = {0, 0, 0};
};

// A call frame. It lives inside the stack block, in the 4 cells below the frame's arguments.
struct TFrame {
  TNormalFunction* Function;  // nullptr for a class's main code
  const TCodeBlock* Code;     // the code block the frame runs
  const uint8_t* ReturnIP;    // where the caller continues; nullptr in the outermost frame
  TScriptValue* ThisRef;      // the frame's this cell
  TFrame* Link;               // the caller's frame, nullptr in the outermost frame
  int32_t ArgCount;           // argument cells below the this cell
  int32_t LocalCount;         // locals below the record
  TPoint SavedPoint;          // the process's Point at the moment of the call

  static constexpr int kCells = 4;
  // Local 0 lies right below the record; local k, k cells further down.
  TScriptValue* Local0() { return reinterpret_cast<TScriptValue*>(this) - 1; }
  // One past the frame's highest operand cell: its operand stack is [SP, OperandTop()).
  TScriptValue* OperandTop() { return Local0() - LocalCount + 1; }
};
static_assert(sizeof(TFrame) <= TFrame::kCells * sizeof(TScriptValue), "a frame fits 4 cells");

class TProcess : public THostObject {
 public:
  static constexpr THostKind kHostKind = THostKind::Process;
  // Cells of a stack block: the fixed limit of a process's stack.
  static constexpr int32_t kStackCells = 1 << 16;
  // Cells a single instruction may push beyond its check (Op_InitForIn pushes two).
  static constexpr int32_t kPushSlack = 4;

  TProcess(TVirtualMachine& vm, TInstance* receiver);
  ~TProcess() override;
  std::string HostClassName() const override { return "TProcess"; }
  TVirtualMachine& Vm() const { return vm_; }

  int32_t Budget = 0;
  int32_t Used = 0;
  bool Suspended = false;
  bool Halted = false;
  bool StackReleased = false;
  uint8_t ErrorCode = 0;
  TFrame* Frame = nullptr;
  TScriptValue* SP = nullptr;        // the top cell; the next push goes right below it
  TScriptValue* ThisCell = nullptr;  // the current frame's this cell
  const uint8_t* IP = nullptr;
  TScriptValue* ResultCell = nullptr;
  TPoint Point;

  // The stack block: StackBase is its first (lowest) cell, StackEnd one past its last.
  TScriptValue* StackBase() const { return base_; }
  TScriptValue* StackEnd() const { return base_ + kStackCells; }
  // The lowest cell a push may still write (pushes check against it).
  TScriptValue* StackLimit() const { return base_ + kPushSlack; }
  // Cells in use from the top of the operand stack to the end of the block.
  int64_t StackDepth() const { return SP ? StackEnd() - SP : 0; }

  // Calls f(cell) for every cell of the stack walk: for each frame from the innermost
  // outward, its operand stack and locals, then its arguments and its this cell.
  template <class F>
  void ForEachStackCell(F&& f) const;

  // Run nesting: set while a Run of this process is active; a freed process whose Run is
  // still active is destroyed when that Run ends.
  int32_t Running = 0;
  bool FreePending = false;

 private:
  friend void FreeProcess(TProcess* process);
  TVirtualMachine& vm_;
  TScriptValue* base_ = nullptr;
};

// The hook of the debugger window: it is entered when the step allowance (GlobalBudget) is
// spent, shows where the process stands, and returns once the user lets execution go on by
// setting GlobalBudget above 0 (step: 1, run: 123456).
class TDebugStopHook {
 public:
  virtual ~TDebugStopHook() = default;
  virtual void Stopped(TVirtualMachine& vm, TProcess& process) = 0;
};

// ---- Creating and running ----
// A process for the method of the instance's class; an empty name means the class's main
// code. "constructor" and "destructor" (exact case) take the class's constructor and
// destructor. Raises "メソッド" + name + "は未定義です" when the class has no such method.
TProcess* CreateProcess(TVirtualMachine& vm, TInstance* instance, std::string_view methodName = {});
// Runs until the budget is spent (budget <= 0 means the standard 123456), the process
// suspends, or it ends. Never raises.
void Run(TProcess* process, int32_t budget);
void Suspend(TProcess* process);
void Halt(TProcess* process);
// Halts the process and releases every cell of its stack (and its result).
void ReleaseStack(TProcess* process);
void MarkProcess(TCollector& collector, const TProcess* process);
// Releases the stack, returns the block and destroys the process. A process whose Run is
// still active (freed from one of its own natives) is destroyed when that Run ends.
void FreeProcess(TProcess* process);
// The debugger's stack text.
void DumpStack(const TProcess* process, std::vector<std::string>& lines);

// ---- Calls (used by the call instructions) ----
// The receiver and argCount arguments are on top of the operand stack, the receiver lowest.
void EnterCall(TProcess* process, int32_t argCount, TNormalFunction* function,
               const uint8_t* returnIP);
// Returns the top cell to the caller; answers false when the outermost frame returned (the
// process halted).
bool ReturnFromCall(TProcess* process);

// The text the error report shows below the message: one line per frame, innermost first.
std::string ProcessTrace(const TProcess* process);

// ---- Errors ----
[[noreturn]] void ThrowStackOverflow();

template <class F>
void TProcess::ForEachStackCell(F&& f) const {
  if (StackReleased || !Frame) return;
  TScriptValue* from = SP;
  for (TFrame* frame = Frame; frame; frame = frame->Link) {
    for (TScriptValue* cell = from; cell <= frame->Local0(); ++cell) f(*cell);
    TScriptValue* thisCell = frame->ThisRef;
    for (TScriptValue* cell = thisCell - frame->ArgCount; cell <= thisCell; ++cell) f(*cell);
    from = thisCell + 1;
  }
}

}  // namespace kelvo
