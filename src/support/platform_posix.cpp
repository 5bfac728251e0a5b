#include "support/platform.h"

#include <stdexcept>

// STUB: not built yet.

namespace bw::plat {

const char* LineBreak() { return "\n"; }

TFileHandle OpenForRead(const std::string&, std::string&) {  throw std::logic_error("not built yet");
}

TFileHandle CreateForWrite(const std::string&, std::string&) {  throw std::logic_error("not built yet");
}

void CloseFile(TFileHandle) {}

int64_t ReadFile(TFileHandle, void*, int64_t) {  throw std::logic_error("not built yet");
}

int64_t WriteFile(TFileHandle, const void*, int64_t) {  throw std::logic_error("not built yet");
}

int64_t SeekFile(TFileHandle, int64_t, int) {  throw std::logic_error("not built yet");
}

int64_t FileEnd(TFileHandle) {  throw std::logic_error("not built yet");
}

bool TruncateFile(TFileHandle, int64_t) {  throw std::logic_error("not built yet");
}

bool FileExists(const std::string&) {  throw std::logic_error("not built yet");
}

bool SameFile(const std::string&, const std::string&) {  throw std::logic_error("not built yet");
}

bool RenameReplace(const std::string&, const std::string&) {  throw std::logic_error("not built yet");
}

void RemoveFile(const std::string&) {}

std::string OwnPath(const char* argv0) { return argv0; }

uint32_t ProcessId() { return 0; }

std::string LocalDateTimeText() { return {}; }

}
