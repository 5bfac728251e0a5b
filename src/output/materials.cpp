#include "output/materials.h"

#include <stdexcept>

// STUB: not built yet.

namespace bw {

void LoadMatFile(TRun&) {  throw std::logic_error("not built yet");
}

bool ParseMatFile(TRun&) {  throw std::logic_error("not built yet");
}

void AddMatTex(TRun&, uint32_t, std::string) {  throw std::logic_error("not built yet");
}

std::string FormatMatLine(const TRun&, int32_t, uint32_t) {  throw std::logic_error("not built yet");
}

void FreeMatFile(TRun&) {}

}
