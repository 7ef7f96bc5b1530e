#pragma once
// The instruction loop: executes the process's instructions while its Budget is above 0
// (each instruction takes one from it first). Run (Process.h) drives it; errors raised by
// instructions leave the process's SP and IP at the failing instruction and propagate to Run.
namespace kelvo {

class TProcess;

void Execute(TProcess* process);

}  // namespace kelvo
