#include "driver/profile_reader.h"

#include <stdexcept>

// STUB: not built yet.

namespace bw {

TProfile TProfile::Load(const std::string&) {  throw std::logic_error("not built yet");
}

TProfile TProfile::FromText(std::string_view) {  throw std::logic_error("not built yet");
}

std::string TProfile::GetString(std::string_view, std::string_view, std::string_view) const {  throw std::logic_error("not built yet");
}

}
