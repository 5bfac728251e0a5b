#include "support/writers.h"

#include <stdexcept>

// STUB: not built yet.

namespace bw {

void WriteText(TBufStream&, std::string_view) {  throw std::logic_error("not built yet");
}

void WriteDbg(TRun&, std::string_view) {  throw std::logic_error("not built yet");
}

void WriteLog(TRun&, std::string_view) {  throw std::logic_error("not built yet");
}

int32_t CheckIndex(TRun&, int32_t, int32_t, int32_t) {  throw std::logic_error("not built yet");
}

}
