#pragma once
// What the caller of a run controls from outside it: the request to stop
// (Ctrl-C, say, noted by the handlers that main() installs, or made by a
// test), the temporary files being written, which a second request removes
// as the program ends at once, and a test's look at named points.
//
// NOTE: a signal handler may call RequestStop and RemoveFilesUnderWay;
// everything they touch is a lock-free atomic or a fixed buffer, and they
// call nothing but unlink (DeleteFile on Windows).

#include <array>
#include <atomic>
#include <functional>
#include <string>
#include <string_view>

namespace bw {

class TRunControl {
 public:
  // Notes a request; the number of requests so far (1 for the first).
  // SIGPIPE after the first counts once: writes to a reader that went away
  // raise it again and again.
  int RequestStop(int signal) noexcept;
  bool StopRequested() const noexcept { return FRequests.load() > 0; }
  // The signal of the first request; 0 for none, or a request made without
  // one.
  int Signal() const noexcept { return FSignal.load(); }

  // A temporary file under way, and its end (renamed or removed). The
  // result of Enter is what Leave takes; -1 when every slot is taken, and
  // then the file is not removed by a second request.
  int Enter(const std::string& tempName) noexcept;
  void Leave(int slot) noexcept;
  void RemoveFilesUnderWay() noexcept;

  // For tests: called with the final name of each output file about to be
  // completed, to hold the run there or to request a stop at that moment.
  std::function<void(std::string_view)> BeforeCommit;

 private:
  static constexpr size_t kPathRoom = 4096;
  // One file under way per worker, the page, and some room.
  static constexpr size_t kSlots = 72;
  static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);
  std::atomic<int> FRequests{0};
  std::atomic<int> FSignal{0};
  std::array<std::atomic<bool>, kSlots> FTaken{};  // a slot owned by one file
  std::array<std::atomic<bool>, kSlots> FBusy{};   // its path names a file under way
  // NOTE: not cleared: a path is written before its slot turns busy, and
  // the pages of slots never used are never touched.
  std::array<std::array<char, kPathRoom>, kSlots> FPaths;
};

}  // namespace bw
