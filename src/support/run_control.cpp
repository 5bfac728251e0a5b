#include "support/run_control.h"

#include <csignal>
#include <cstring>

#include "support/platform.h"

namespace bw {

int TRunControl::RequestStop(int signal) noexcept {
  int expected = 0;
  FSignal.compare_exchange_strong(expected, signal);
#ifdef SIGPIPE
  if (signal == SIGPIPE && FRequests.load() > 0) return 1;
#endif
  return ++FRequests;
}

int TRunControl::Enter(const std::string& tempName) noexcept {
  if (tempName.size() >= kPathRoom) return -1;
  for (size_t i = 0; i < kSlots; ++i) {
    bool free = false;
    if (!FTaken[i].compare_exchange_strong(free, true)) continue;
    // The path is in place before the handler may read it.
    std::memcpy(FPaths[i].data(), tempName.c_str(), tempName.size() + 1);
    FBusy[i].store(true);
    return static_cast<int>(i);
  }
  return -1;
}

void TRunControl::Leave(int slot) noexcept {
  if (slot < 0 || static_cast<size_t>(slot) >= kSlots) return;
  FBusy[static_cast<size_t>(slot)].store(false);
  FTaken[static_cast<size_t>(slot)].store(false);
}

void TRunControl::RemoveFilesUnderWay() noexcept {
  for (size_t i = 0; i < kSlots; ++i)
    if (FBusy[i].exchange(false)) plat::RemoveFileNow(FPaths[i].data());
}

}  // namespace bw
