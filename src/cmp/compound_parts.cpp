#include "cmp/compound_parts.h"

#include <stdexcept>

// STUB: not built yet.

namespace bw {

int32_t FindCmpnd(TRun&) {  throw std::logic_error("not built yet");
}

int32_t ReadCompoundParts(TRun&, const std::string&) {  throw std::logic_error("not built yet");
}

}
