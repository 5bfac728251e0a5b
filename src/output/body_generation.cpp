#include "output/body_generation.h"

#include <stdexcept>

// STUB: not built yet.

namespace bw {

std::array<float, 4> TransformVertex(const TVertRec&, const std::array<float, 4>&, const TMatrix&) {  throw std::logic_error("not built yet");
}

void GenerateBodies(TRun&, int32_t) {  throw std::logic_error("not built yet");
}

}
