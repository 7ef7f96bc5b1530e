#pragma once
// Run-time errors of the virtual machine. The message is Shift-JIS text, as everywhere inside
// the system; the process runner reports it and ends the process that raised it.
#include <stdexcept>
#include <string>

namespace kelvo {

class EScriptError : public std::runtime_error {
 public:
  explicit EScriptError(const std::string& sjisMessage) : std::runtime_error(sjisMessage) {}
};

// Arithmetic faults of the host (zero divisor, integer division overflow). They end the
// running process like every other run-time error.
class EArithmeticError : public EScriptError {
 public:
  using EScriptError::EScriptError;
};

// The host's list index error: an index outside a list (method table, member record, element
// list).
class EListIndexError : public EScriptError {
 public:
  explicit EListIndexError(long long index)
      : EScriptError("List index out of bounds (" + std::to_string(index) + ")") {}
};

}  // namespace kelvo
