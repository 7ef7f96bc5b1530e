#pragma once
// The error the grammar engine raises: a definition text that cannot be read, a missing
// node factory, input nested deeper than the matcher allows, or a syntax-tree child read
// with the wrong index or kind. The message is Shift-JIS text, like every message inside
// the system.
#include <stdexcept>
#include <string>

namespace kelvo {

class EGrammarError : public std::runtime_error {
 public:
  explicit EGrammarError(const std::string& sjisMessage) : std::runtime_error(sjisMessage) {}
};

}  // namespace kelvo
