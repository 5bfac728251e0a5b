#include "support/buf_stream.h"

#include <stdexcept>

// STUB: not built yet.

namespace bw {

TBufStream::TBufStream(const std::string&, uint16_t, int32_t) {  throw std::logic_error("not built yet");
}

TBufStream::~TBufStream() {}

int32_t TBufStream::Read(void*, int32_t) {  throw std::logic_error("not built yet");
}

int32_t TBufStream::Write(const void*, int32_t) {  throw std::logic_error("not built yet");
}

int32_t TBufStream::Seek(int32_t, uint16_t) {  throw std::logic_error("not built yet");
}

int32_t TBufStream::GetFileSize() {  throw std::logic_error("not built yet");
}

void TBufStream::SetSize(int32_t) {  throw std::logic_error("not built yet");
}

bool TBufStream::Close() {  throw std::logic_error("not built yet");
}

}
