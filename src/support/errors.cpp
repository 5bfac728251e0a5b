#include "support/errors.h"

namespace bw {

void RaiseRange(const char* what) {
  throw ERangeError(what);
}

}  // namespace bw
