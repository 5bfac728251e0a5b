#include "driver/settings.h"

#include <stdexcept>

// STUB: not built yet.

namespace bw {

double ClampValue(double, double, double) {  throw std::logic_error("not built yet");
}

std::string NormalizeValue(std::string_view) {  throw std::logic_error("not built yet");
}

std::string StripQuotes(std::string_view) {  throw std::logic_error("not built yet");
}

bool ParseSwitch(std::string_view, TDbgInfo&) {  throw std::logic_error("not built yet");
}

bool ParseFloatList(TRun&, std::string_view, int, float*) {  throw std::logic_error("not built yet");
}

void LoadSettings(TRun&) {  throw std::logic_error("not built yet");
}

void LoadSettingsFrom(TRun&, const TProfile&) {  throw std::logic_error("not built yet");
}

}
