#include "mesh/mesh_decoder.h"

#include <stdexcept>

// STUB: not built yet.

namespace bw {

void DecodeMeshData(TRun&, const std::string&) {  throw std::logic_error("not built yet");
}

}
