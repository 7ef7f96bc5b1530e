#include "frontend/CmpError.h"

#include "frontend/Context.h"
#include "vm/Rtti.h"

namespace kelvo {
namespace {

std::string ClassPrefixed(const std::string& message, const TContext& context) {
  return (context.CurClass ? context.CurClass->Name : std::string()) + ":" + message;
}

}  // namespace

ECmpError::ECmpError(const std::string& message, const TContext& context)
    : std::runtime_error(ClassPrefixed(message, context)) {}

}  // namespace kelvo
