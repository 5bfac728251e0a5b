#include "cmp/utf_tree.h"

#include <stdexcept>

// STUB: not built yet.

namespace bw {

int32_t TNodesList::FindChild(int32_t, std::string_view) const {  throw std::logic_error("not built yet");
}

int32_t TNodesList::FindPath(std::string_view) const {  throw std::logic_error("not built yet");
}

void TNodesList::FreeAll() { TRecList::FreeAll(); }

bool ReadUtfImage(std::span<const uint8_t>, TNodesList&) {  throw std::logic_error("not built yet");
}

bool ReadUtfTree(TRun&) {  throw std::logic_error("not built yet");
}

}
