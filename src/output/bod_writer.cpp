#include "output/bod_writer.h"

#include <stdexcept>

// STUB: not built yet.

namespace bw {

void WriteBodFile(TRun&, int32_t, const std::string&) {  throw std::logic_error("not built yet");
}

void WriteGroupFile(TRun&, int32_t, int32_t, const TMeshGroup&) {  throw std::logic_error("not built yet");
}

}
