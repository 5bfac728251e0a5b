#pragma once
// A file read a piece at a time, at the offsets asked for, instead of whole:
// for files of which a run needs a small part (a material file's tree, out
// of megabytes of images). Pieces come through two windows kept from one
// read to the next, so that reading a table entry by entry and the names it
// points to, turn about, costs one system call per window. Nothing is
// cleared before it is read into. A window is small: the tree of a real
// material file takes a few KB, and every byte read is copied and touched.
// Each window serves one stream of reads (the table, the names), which
// names it, so that one never moves the other's.

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "support/platform.h"

namespace bw {

class TFileReader {
 public:
  // Opens the file without keeping others from changing it. Raises
  // EFOpenError as a stream does when it cannot be opened, and the range
  // failure for a file of 2 GB or more.
  explicit TFileReader(const std::string& path);
  ~TFileReader();
  TFileReader(const TFileReader&) = delete;
  TFileReader& operator=(const TFileReader&) = delete;

  // The file's size and stamp when it was opened.
  size_t Size() const { return static_cast<size_t>(FStamp.Size); }
  const plat::TFileStamp& Stamp() const { return FStamp; }

  // The bytes from `offset` on, at least `count` of them (at most a
  // window's size), up to the end of window `window` (0 or 1). Valid until
  // the next call for that window. Range failure when the file does not
  // hold them (any more).
  std::span<const uint8_t> At(size_t offset, size_t count, size_t window) {
    const TWindow& w = FWindows[window];
    if (offset >= w.Start && offset - w.Start <= w.Length && count <= w.Length - (offset - w.Start))
      return {w.Bytes.get() + (offset - w.Start), w.Length - (offset - w.Start)};
    return Load(offset, count, window);
  }
  static constexpr size_t kWindowSize = 16 * 1024;

 private:
  struct TWindow {
    std::unique_ptr<uint8_t[]> Bytes;
    size_t Start = 0;
    size_t Length = 0;
  };
  std::span<const uint8_t> Load(size_t offset, size_t count, size_t window);

  plat::TFileHandle FFile = plat::kNoFile;
  plat::TFileStamp FStamp;
  std::array<TWindow, 2> FWindows;
};

// Reads `count` bytes at `offset` of a file opened anew, after checking that
// it is still the file `stamp` describes, and checks it again after the
// read: a file that another program shortened, replaced or rewrote since
// gives the range failure, never other bytes. `sink` takes the bytes a
// piece at a time.
template <class TSink>
void ReadUnchanged(const std::string& path, const plat::TFileStamp& stamp, size_t offset, size_t count,
                   TSink&& sink);

namespace detail {
// The file opened anew, or the range failure when it is not the file of `stamp`.
plat::TFileHandle OpenUnchanged(const std::string& path, const plat::TFileStamp& stamp);
void CheckUnchanged(plat::TFileHandle file, const plat::TFileStamp& stamp);
void ReadPiece(plat::TFileHandle file, size_t offset, uint8_t* out, size_t count);
// Closes the file on every way out.
struct TFileCloser {
  plat::TFileHandle File;
  ~TFileCloser() { plat::CloseFile(File); }
};
}  // namespace detail

template <class TSink>
void ReadUnchanged(const std::string& path, const plat::TFileStamp& stamp, size_t offset, size_t count,
                   TSink&& sink) {
  const detail::TFileCloser file{detail::OpenUnchanged(path, stamp)};
  constexpr size_t kPiece = 256 * 1024;
  const auto buffer = std::make_unique_for_overwrite<uint8_t[]>(std::min(count, kPiece) + 1);
  for (size_t done = 0; done < count;) {
    const size_t n = std::min(count - done, kPiece);
    detail::ReadPiece(file.File, offset + done, buffer.get(), n);
    sink(std::span<const uint8_t>(buffer.get(), n));
    done += n;
  }
  detail::CheckUnchanged(file.File, stamp);
}

}  // namespace bw
