#include "cmp/part_placement.h"

#include <stdexcept>

// STUB: not built yet.

namespace bw {

bool ReadPartPlacement(TRun&, const std::string&) {  throw std::logic_error("not built yet");
}

void ApplyConsTable(TRun&, int32_t, TConsKind) {  throw std::logic_error("not built yet");
}

void PrintConstraint(TRun&, TConsKind, const TConsRecord&) {  throw std::logic_error("not built yet");
}

void ComposePlacements(TRun&) {  throw std::logic_error("not built yet");
}

}
