#pragma once
#include <stdexcept>

namespace kelvo {

// Raised by drawing surfaces used in a state where they cannot work (lost, not ready). The
// frame loop and the application error handler treat it apart from other errors: frames stop
// being presented until the next paint, and no dialog is shown.
class EInvalidOperation : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace kelvo
