#pragma once
// The program's one file class: a file with a single block buffer. Text
// written line by line reaches the file a block at a time; whole files are
// read block by block. Sizes and offsets are signed 32-bit.

#include <cstdint>
#include <memory>
#include <string>

#include "support/platform.h"

namespace bw {

inline constexpr uint16_t ModeCreate = 0xFFFF;
inline constexpr uint16_t ModeRead = 0;
inline constexpr int32_t kBufSize = 8192;
// The largest file a stream writes: offsets are signed 32-bit.
inline constexpr int64_t kMaxStreamOffset = INT32_MAX;

class TBufStream {
 public:
  // Throws EFCreateError / EFOpenError when the file cannot be created/opened.
  TBufStream(const std::string& fileName, uint16_t mode, int32_t bufSize);
  ~TBufStream();
  TBufStream(const TBufStream&) = delete;
  TBufStream& operator=(const TBufStream&) = delete;

  int32_t Read(void* buffer, int32_t count);
  // Text built in place: room for n bytes (at most the buffer's size) at
  // the current position, the buffer written out first when they do not
  // fit; Written(k) then takes the first k of them as Write would.
  char* WriteRoom(int32_t n) {
    if (FFile == plat::kNoFile || FBufSize - FBufPos < n) MakeRoom(n);
    return reinterpret_cast<char*>(FBuffer.get()) + FBufPos;
  }
  void Written(int32_t k) {
    if (int64_t{FBufStart} + FBufPos + k > kMaxStreamOffset) RaiseTooLarge();
    FDirty = true;
    FBufPos += k;
    if (FBufCount < FBufPos) FBufCount = FBufPos;
  }
  // Raises ERangeError when the file would grow past 2 GB less one byte.
  int32_t Write(const void* buffer, int32_t count);
  int32_t Seek(int32_t offset, uint16_t origin);
  int32_t GetFileSize();
  void SetSize(int32_t size);

  // Writes out the buffer and closes the file; true when every byte handed to
  // the system was taken. The destructor does the same, ignoring the result.
  bool Close();
  const std::string& FileName() const { return FName; }
  // The system's reason for the first write that failed; empty while none has.
  const std::string& WriteError() const { return FWriteError; }

 private:
  void FillBuffer();
  void FlushBuffer();
  void MakeRoom(int32_t n);
  [[noreturn]] static void RaiseTooLarge();
  bool SeekTo(int64_t pos);

  std::string FName;
  plat::TFileHandle FFile = plat::kNoFile;
  std::unique_ptr<uint8_t[]> FBuffer;
  int32_t FBufSize = 0;
  int32_t FBufCount = 0;
  int32_t FBufStart = 0;
  int32_t FBufPos = 0;
  bool FDirty = false;
  bool FWriteFailed = false;
  std::string FWriteError;
  // What the stream knows of the file, -1 when it does not: the system's
  // position, so that a transfer where the last one ended needs no seek,
  // and the size on disk, so that a block past it is not read back (a file
  // this stream created holds only what it wrote).
  int64_t FFilePos = 0;
  int64_t FFileEnd = -1;
};

}  // namespace bw
