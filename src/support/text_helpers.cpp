#include "support/text_helpers.h"

#include <stdexcept>

// STUB: not built yet.

namespace bw {

std::string PadLeft(std::string_view, int32_t, char) {  throw std::logic_error("not built yet");
}

std::string ByteToHex(uint8_t) {  throw std::logic_error("not built yet");
}

std::string DWordToHex(uint32_t) {  throw std::logic_error("not built yet");
}

uint32_t NameHash(std::string_view) {  throw std::logic_error("not built yet");
}

std::string LowerCase(std::string_view) {  throw std::logic_error("not built yet");
}

std::string UpperCase(std::string_view) {  throw std::logic_error("not built yet");
}

bool SameName(std::string_view, std::string_view) {  throw std::logic_error("not built yet");
}

std::string_view TrimControl(std::string_view) {  throw std::logic_error("not built yet");
}

std::string IntText(int64_t) {  throw std::logic_error("not built yet");
}

std::string UIntText(uint64_t) {  throw std::logic_error("not built yet");
}

}
