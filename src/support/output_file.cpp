#include "support/output_file.h"

#include <stdexcept>

// STUB: not built yet.

namespace bw {

void GuardOutput(TRun&, const std::string&) {  throw std::logic_error("not built yet");
}

TOutputFile::TOutputFile(TRun&, std::string) {  throw std::logic_error("not built yet");
}

TOutputFile::~TOutputFile() {}

void TOutputFile::Commit() {  throw std::logic_error("not built yet");
}

}
