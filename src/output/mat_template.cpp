#include "output/mat_template.h"

#include <stdexcept>

// STUB: not built yet.

namespace bw {

bool FormatTemplate(std::string_view, int32_t, const std::string*, std::string&) {  throw std::logic_error("not built yet");
}

}
