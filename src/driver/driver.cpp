#include "driver/driver.h"

#include <stdexcept>

// STUB: not built yet.

namespace bw {

int StartUp(TRun&, const std::string&, const std::vector<std::string>&) {  throw std::logic_error("not built yet");
}

bool ConvertAll(TRun&) {  throw std::logic_error("not built yet");
}

bool RunConversion(TRun&) {  throw std::logic_error("not built yet");
}

void ShutDown(TRun&) {}

int RunProgram(TRun&, const std::string&, const std::vector<std::string>&) {  throw std::logic_error("not built yet");
}

std::string ReplaceExtension(const std::string&, const std::string&) {  throw std::logic_error("not built yet");
}

std::string FileNamePart(const std::string&) {  throw std::logic_error("not built yet");
}

}
