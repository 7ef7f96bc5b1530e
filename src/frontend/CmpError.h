#pragma once
// ECmpError: a node compiler rejects the source. The message (Shift-JIS) names the class
// being compiled: "ClassName:message".
#include <stdexcept>
#include <string>

namespace kelvo {

struct TContext;

class ECmpError : public std::runtime_error {
 public:
  ECmpError(const std::string& message, const TContext& context);
};

}  // namespace kelvo
