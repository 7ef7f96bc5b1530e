// Processes: creation, the run loop with its budgets, calls and returns, releasing, marking,
// freeing and the debugger's stack text. The instructions themselves are in Interpreter.cpp.
#include "vm/Process.h"

#include <sys/mman.h>

#include <algorithm>
#include <new>

#include "platform/ShiftJis.h"
#include "values/Collector.h"
#include "values/Conversions.h"
#include "vm/CodeCheck.h"
#include "vm/Diagnostics.h"
#include "vm/Interpreter.h"
#include "vm/ScriptError.h"
#include "vm/VirtualMachine.h"

namespace kelvo {

namespace {

constexpr size_t kStackBytes = sizeof(TScriptValue) * static_cast<size_t>(TProcess::kStackCells);

// The block is reserved whole; the system commits (zero-filled) pages only when touched.
TScriptValue* ReserveStack() {
  void* p = mmap(nullptr, kStackBytes, PROT_READ | PROT_WRITE,
                 MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  return static_cast<TScriptValue*>(p);
}

const TCodeBlock& CodeOf(TNormalFunction* function) {
  if (!function->Code) throw EScriptError(SJ("異常な命令が入っています"));
  CheckCode(*function->Code);
  return *function->Code;
}

void ReportRunError(TVirtualMachine& vm, TProcess* process, const std::string& message) {
  std::string text = message;
  std::string trace = ProcessTrace(process);
  if (!trace.empty()) text += "\n" + trace;
  TRunState& rs = vm.RunState();
  if (rs.Diagnostics)
    rs.Diagnostics->Report(text, true);
  else
    vm.Report().MessageBox(text);
}

void DestroyProcess(TProcess* process) {
  TRunState& rs = process->Vm().RunState();
  if (rs.CurrentProcess == process) rs.CurrentProcess = nullptr;
  delete process;
}

}  // namespace

void ThrowStackOverflow() { throw EScriptError(SJ("スタックがあふれました")); }

TProcess::TProcess(TVirtualMachine& vm, TInstance* receiver)
    : THostObject(vm.Hosts(), kHostKind), vm_(vm) {
  base_ = ReserveStack();
  vm.Allocator().NoteHeld(1);
  ++vm.RunState().LiveProcesses;
  ++vm.RunState().LiveStacks;
  SetObject(StackEnd()[-1], receiver);
}

TProcess::~TProcess() {
  munmap(base_, kStackBytes);
  vm_.Allocator().NoteHeld(-1);
  --vm_.RunState().LiveProcesses;
  --vm_.RunState().LiveStacks;
}

TProcess* CreateProcess(TVirtualMachine& vm, TInstance* instance, std::string_view methodName) {
  if (!instance) throw EScriptError(SJ("オブジェクトがありません"));
  TRTTI* cls = instance->Class;
  TFunction* chosen = nullptr;
  const TCodeBlock* code = nullptr;
  if (!methodName.empty()) {
    if (methodName == "constructor")
      chosen = cls->ConstructorOf();
    else if (methodName == "destructor")
      chosen = cls->DestructorOf();
    else
      chosen = cls->FirstMethodNamed(methodName);
    if (!chosen) throw EScriptError(SJ("メソッド") + std::string(methodName) + SJ("は未定義です"));
    if (chosen->IsNative())
      throw EScriptError(SJ("Native関数") + chosen->GetName() + SJ("は呼び出せません"));
    code = &CodeOf(AsBytecode(chosen));
  } else {
    if (!cls->MainCode) throw EScriptError(SJ("異常な命令が入っています"));
    CheckCode(*cls->MainCode);
    code = cls->MainCode.get();
  }
  TNormalFunction* function = AsBytecode(chosen);
  const int32_t locals = function ? function->LocalNames.Count() : 0;
  if (locals > TProcess::kStackCells / 2) ThrowStackOverflow();

  auto* process = new TProcess(vm, instance);
  TScriptValue* thisCell = process->StackEnd() - 1;
  auto* frame = new (thisCell - TFrame::kCells) TFrame{};
  frame->Function = function;
  frame->Code = code;
  frame->ReturnIP = nullptr;
  frame->ThisRef = thisCell;
  frame->Link = nullptr;
  frame->ArgCount = 0;
  frame->LocalCount = locals;
  process->Frame = frame;
  process->ThisCell = thisCell;
  process->SP = frame->OperandTop();  // the fresh block is zero-filled: the locals are null
  process->IP = code->Code.data();
  return process;
}

void Suspend(TProcess* process) {
  process->Suspended = true;
  process->Used -= process->Budget;
  process->Budget = 0;
}

void Halt(TProcess* process) {
  process->Halted = true;
  process->Used -= process->Budget;
  process->Budget = 0;
}

void ReleaseStack(TProcess* process) {
  if (!process || process->StackReleased) return;
  Halt(process);
  TVirtualMachine& vm = process->Vm();
  auto drop = [&vm](TScriptValue& cell) {
    TScriptValue old = cell;
    ClearCell(cell);  // a released cell never counts again
    try {
      Release(old);
    } catch (const std::exception& e) {
      vm.Report().LogLine(e.what());
    }
  };
  process->ForEachStackCell(drop);
  if (process->ResultCell) drop(*process->ResultCell);
  process->StackReleased = true;
}

void MarkProcess(TCollector& collector, const TProcess* process) {
  if (!process || process->StackReleased) return;
  process->ForEachStackCell([&collector](const TScriptValue& cell) { collector.MarkValue(cell); });
  if (process->ResultCell) collector.MarkValue(*process->ResultCell);
}

void FreeProcess(TProcess* process) {
  if (!process) return;
  ReleaseStack(process);
  if (process->Running > 0) {
    process->FreePending = true;  // destroyed when its own Run ends
    return;
  }
  DestroyProcess(process);
}

void Run(TProcess* process, int32_t budget) {
  if (!process) return;
  if (budget <= 0) budget = TRunState::kStandardBudget;
  if (!process->Frame || process->Halted) return;
  // A process is never run from inside its own run (one of its natives): its stack is in use.
  if (process->Running > 0) return;

  TVirtualMachine& vm = process->Vm();
  TRunState& rs = vm.RunState();
  TProcess* const outer = rs.CurrentProcess;
  rs.CurrentProcess = process;
  process->Suspended = false;
  ++process->Running;
  ++rs.RunNesting;
  try {
    if (rs.RunNesting > TRunState::kMaxRunNesting)
      throw EScriptError(SJ("プロセスの実行が深く入れ子になりすぎました"));
    while (budget > 0 && !process->Suspended && !process->Halted) {
      process->Budget = std::min(budget, rs.GlobalBudget);
      process->Used = process->Budget;
      Execute(process);
      if (rs.GlobalBudget < TRunState::kStandardBudget) rs.GlobalBudget -= process->Used;
      budget -= process->Used;
      if (rs.GlobalBudget <= 0) {
        if (rs.DebugHook) {
          rs.DebugStopped = true;
          rs.GlobalBudget = 0;
          struct Clear {
            bool& flag;
            ~Clear() { flag = false; }
          } clear{rs.DebugStopped};
          rs.DebugHook->Stopped(vm, *process);
        } else {
          rs.GlobalBudget = TRunState::kStandardBudget;  // no debugger: the allowance is lifted
        }
        if (rs.GlobalBudget < TRunState::kStandardBudget) budget = rs.GlobalBudget;
      }
    }
    if (budget <= 0 && rs.PreemptionCheck) rs.Preempted = true;
  } catch (const std::exception& e) {
    ReportRunError(vm, process, e.what());
    process->ErrorCode = 2;
    ReleaseStack(process);
  } catch (...) {
    ReportRunError(vm, process, "unknown error");
    process->ErrorCode = 2;
    ReleaseStack(process);
  }
  --rs.RunNesting;
  --process->Running;
  rs.CurrentProcess = outer;
  if (process->FreePending && process->Running == 0) DestroyProcess(process);
}

void EnterCall(TProcess* process, int32_t argCount, TNormalFunction* function,
               const uint8_t* returnIP) {
  const TCodeBlock& code = CodeOf(function);
  TScriptValue* sp = process->SP;
  TScriptValue* thisCell = sp + argCount;
  if (argCount < 0 || !process->Frame || thisCell >= process->Frame->OperandTop())
    throw EScriptError(SJ("異常な命令が入っています"));
  const int32_t locals = function->LocalNames.Count();
  if (sp - process->StackBase() < TFrame::kCells + locals + TProcess::kPushSlack)
    ThrowStackOverflow();
  auto* frame = new (sp - TFrame::kCells) TFrame{};
  frame->Function = function;
  frame->Code = &code;
  frame->ReturnIP = returnIP;
  frame->ThisRef = thisCell;
  frame->Link = process->Frame;
  frame->ArgCount = argCount;
  frame->LocalCount = locals;
  frame->SavedPoint = process->Point;
  TScriptValue* local0 = frame->Local0();
  for (int32_t k = 0; k < locals; ++k) ClearCell(local0[-k]);  // dead stack: no release
  process->SP = frame->OperandTop();
  process->IP = code.Code.data();
  process->Frame = frame;
  process->ThisCell = thisCell;
}

bool ReturnFromCall(TProcess* process) {
  TFrame* frame = process->Frame;
  TScriptValue* sp = process->SP;
  if (!frame || sp >= frame->OperandTop()) throw EScriptError(SJ("異常な命令が入っています"));
  const TScriptValue value = *sp;  // moves: no counting
  ClearCell(*sp);
  for (TScriptValue* cell = sp + 1; cell <= frame->Local0(); ++cell) {
    TScriptValue old = *cell;
    ClearCell(*cell);
    Release(old);
  }
  TScriptValue* thisCell = frame->ThisRef;
  for (TScriptValue* cell = thisCell - frame->ArgCount; cell <= thisCell; ++cell) {
    TScriptValue old = *cell;
    ClearCell(*cell);
    Release(old);
  }
  *thisCell = value;
  process->SP = thisCell;
  process->IP = frame->ReturnIP;
  TFrame* link = frame->Link;
  process->Frame = link;
  if (!link) {
    process->ResultCell = thisCell;
    Halt(process);
    return false;
  }
  process->ThisCell = link->ThisRef;
  return true;
}

void DumpStack(const TProcess* process, std::vector<std::string>& lines) {
  if (!process || process->StackReleased) return;
  const TVirtualMachine& vm = process->Vm();
  TScriptValue* from = process->SP;
  for (TFrame* frame = process->Frame; frame; frame = frame->Link) {
    lines.push_back("stacks");
    for (TScriptValue* cell = from; cell <= frame->Local0(); ++cell)
      lines.push_back(ValToText(vm, *cell));
    lines.push_back("args/this " + std::to_string(frame->ArgCount));
    TScriptValue* thisCell = frame->ThisRef;
    for (TScriptValue* cell = thisCell - frame->ArgCount; cell <= thisCell; ++cell)
      lines.push_back(ValToText(vm, *cell));
    from = thisCell + 1;
  }
  lines.push_back("-----------");
  lines.push_back(ValToText(vm, process->StackEnd()[-1]));
}

std::string ProcessTrace(const TProcess* process) {
  if (!process || process->StackReleased) return {};
  std::string trace;
  const uint8_t* ip = process->IP;
  for (TFrame* frame = process->Frame; frame; frame = frame->Link) {
    const TCodeBlock* code = frame->Code;
    std::string where = "main";
    TInstance* self = GetObject(*frame->ThisRef);
    std::string cls = self ? self->Class->Name : "?";
    if (frame->Function) {
      where = frame->Function->GetName();
      if (frame->Function->OwnerClass) cls = frame->Function->OwnerClass->Name;
    }
    std::string position = "none";
    if (code && ip >= code->Code.data() && ip <= code->Code.data() + code->Code.size())
      position = code->PositionAt(static_cast<int32_t>(ip - code->Code.data()));
    if (!trace.empty()) trace += "\n";
    trace += "  at " + cls + "." + where + " (" + position + ")";
    ip = frame->ReturnIP;
  }
  return trace;
}

}  // namespace kelvo
