#include "support/buf_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "support/errors.h"

namespace bw {
namespace {

constexpr int64_t kMaxOffset = kMaxStreamOffset;

}  // namespace

TBufStream::TBufStream(const std::string& fileName, uint16_t mode, int32_t bufSize) : FName(fileName) {
  if (bufSize < 1) RaiseRange("stream buffer size");
  // The buffer comes first so that a failed allocation leaves no open file.
  // It is not cleared: no byte of it is read or written out before it has
  // been filled (FBufPos never passes FBufCount), and clearing 8 KB per file
  // costs more than writing a small file.
  FBuffer = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(bufSize));
  FBufSize = bufSize;
  std::string error;
  if (mode == ModeCreate) {
    FFile = plat::CreateForWrite(fileName, error);
    if (FFile == plat::kNoFile) throw EFCreateError(fileName, error);
    FFileEnd = 0;  // created empty
  } else {
    FFile = plat::OpenForRead(fileName, error);
    if (FFile == plat::kNoFile) throw EFOpenError("Cannot open file \"" + fileName + "\". " + error);
  }
  FillBuffer();
}

TBufStream::~TBufStream() {
  Close();
}

bool TBufStream::Close() {
  if (FFile != plat::kNoFile) {
    FlushBuffer();
    plat::CloseFile(FFile);
    FFile = plat::kNoFile;
  }
  return !FWriteFailed;
}

bool TBufStream::SeekTo(int64_t pos) {
  if (FFilePos == pos) return true;
  FFilePos = plat::SeekFile(FFile, pos, 0);
  return FFilePos == pos;
}

void TBufStream::FillBuffer() {
  FBufPos = 0;
  int64_t got = 0;
  if ((FFileEnd < 0 || FBufStart < FFileEnd) && SeekTo(FBufStart)) {
    got = plat::ReadFile(FFile, FBuffer.get(), FBufSize);
    FFilePos = FBufStart + got;
  }
  FBufCount = static_cast<int32_t>(std::clamp<int64_t>(got, 0, FBufSize));
  FDirty = false;
}

void TBufStream::FlushBuffer() {
  if (!FDirty) return;
  int64_t put = -1;
  if (SeekTo(FBufStart)) put = plat::WriteFile(FFile, FBuffer.get(), FBufCount);
  if (put == FBufCount) {
    FFilePos = FBufStart + put;
    if (FFileEnd >= 0) FFileEnd = std::max(FFileEnd, FFilePos);
  } else {
    // Where the system stopped is not worth guessing: ask it from now on.
    if (!FWriteFailed) FWriteError = plat::LastErrorText();
    FWriteFailed = true;
    FFilePos = -1;
    FFileEnd = -1;
  }
  FDirty = false;
}

int32_t TBufStream::Read(void* buffer, int32_t count) {
  if (FFile == plat::kNoFile) throw EInvalidOp("read from a closed stream");
  if (count <= 0) return 0;
  auto* out = static_cast<uint8_t*>(buffer);
  if (int64_t{FBufPos} + count <= FBufCount) {
    std::memcpy(out, FBuffer.get() + FBufPos, static_cast<size_t>(count));
    FBufPos += count;
    return count;
  }
  if (FBufCount == 0) return 0;
  const int32_t avail = FBufCount - FBufPos;
  if (avail > 0) std::memcpy(out, FBuffer.get() + FBufPos, static_cast<size_t>(avail));
  int32_t done = avail;
  int32_t remaining = count - avail;
  FlushBuffer();
  while (remaining > 0) {
    FBufStart += FBufCount;
    // Whole blocks of a large request (the input image is read whole) go
    // straight to the caller; the last block, never empty, through the
    // buffer as before.
    const int32_t direct = (remaining - 1) / FBufSize * FBufSize;
    if (direct > 0 && (FFileEnd < 0 || FBufStart < FFileEnd) && SeekTo(FBufStart)) {
      const int64_t got = plat::ReadFile(FFile, out + done, direct);
      FFilePos = FBufStart + got;
      FBufStart += static_cast<int32_t>(got);
      done += static_cast<int32_t>(got);
      remaining -= static_cast<int32_t>(got);
      FBufCount = 0;
      FBufPos = 0;
      if (got < direct) return done;  // the end of the file
    }
    FillBuffer();
    if (remaining <= FBufCount) {
      std::memcpy(out + done, FBuffer.get(), static_cast<size_t>(remaining));
      FBufPos = remaining;
      done += remaining;
      remaining = 0;
    } else if (FBufCount == 0) {
      return done;
    } else {
      std::memcpy(out + done, FBuffer.get(), static_cast<size_t>(FBufCount));
      FBufPos = FBufCount;
      done += FBufCount;
      remaining -= FBufCount;
    }
  }
  return done;
}

void TBufStream::MakeRoom(int32_t n) {
  if (FFile == plat::kNoFile) throw EInvalidOp("write to a closed stream");
  if (n > FBufSize) RaiseRange("more room than the stream's buffer");
  FlushBuffer();
  FBufStart += FBufPos;
  FillBuffer();
}

void TBufStream::RaiseTooLarge() {
  RaiseRange("file larger than 2 GB");
}

int32_t TBufStream::Write(const void* buffer, int32_t count) {
  if (FFile == plat::kNoFile) throw EInvalidOp("write to a closed stream");
  if (count <= 0) return 0;
  // Offsets are 32-bit: a file that would pass 2 GB less one byte is refused
  // whole rather than written with a wrapped offset.
  if (int64_t{FBufStart} + FBufPos + count > kMaxOffset) RaiseTooLarge();
  const auto* in = static_cast<const uint8_t*>(buffer);
  FDirty = true;
  if (int64_t{FBufPos} + count <= FBufSize) {
    std::memcpy(FBuffer.get() + FBufPos, in, static_cast<size_t>(count));
    FBufPos += count;
    FBufCount = std::max(FBufCount, FBufPos);
    return count;
  }
  const int32_t room = FBufSize - FBufPos;
  if (room > 0) std::memcpy(FBuffer.get() + FBufPos, in, static_cast<size_t>(room));
  int32_t done = room;
  int32_t remaining = count - room;
  FBufCount = FBufSize;
  while (remaining > 0) {
    FlushBuffer();
    FBufStart += FBufSize;
    FillBuffer();
    FDirty = true;
    if (remaining <= FBufSize) {
      std::memcpy(FBuffer.get(), in + done, static_cast<size_t>(remaining));
      FBufPos = remaining;
      FBufCount = std::max(FBufCount, FBufPos);
      done += remaining;
      remaining = 0;
    } else {
      std::memcpy(FBuffer.get(), in + done, static_cast<size_t>(FBufSize));
      FBufPos = FBufSize;
      FBufCount = FBufSize;
      done += FBufSize;
      remaining -= FBufSize;
    }
  }
  return done;
}

int32_t TBufStream::Seek(int32_t offset, uint16_t origin) {
  if (FFile == plat::kNoFile) throw EInvalidOp("seek on a closed stream");
  int64_t target = 0;
  switch (origin) {
    case 0: target = offset; break;
    case 1: target = std::max<int64_t>(int64_t{FBufStart} + FBufPos + offset, 0); break;
    case 2:
      // NOTE: the end includes bytes still in the buffer; the end on disk
      // alone would put a write after Seek(0, 2) on top of buffered data.
      target = int64_t{GetFileSize()} + offset;
      break;
    default: RaiseRange("seek origin");
  }
  // A negative or too large position cannot be represented in the file.
  if (target < 0 || target > kMaxOffset) RaiseRange("seek position");
  const auto target32 = static_cast<int32_t>(target);
  if (FBufStart <= target32 && target < int64_t{FBufStart} + FBufCount) {
    FBufPos = target32 - FBufStart;
    return target32;
  }
  FlushBuffer();
  FBufStart = target32;
  FillBuffer();
  return target32;
}

int32_t TBufStream::GetFileSize() {
  if (FFile == plat::kNoFile) throw EInvalidOp("size of a closed stream");
  const int64_t onDisk = plat::FileEnd(FFile);
  const int64_t size = std::max(onDisk, int64_t{FBufStart} + FBufCount);
  if (size > kMaxOffset) RaiseRange("file larger than 2 GB");
  return static_cast<int32_t>(size);
}

void TBufStream::SetSize(int32_t size) {
  if (FFile == plat::kNoFile) throw EInvalidOp("resize of a closed stream");
  if (size < 0) RaiseRange("file size");
  FlushBuffer();
  if (plat::TruncateFile(FFile, size)) {
    FFileEnd = size;
  } else {
    if (!FWriteFailed) FWriteError = plat::LastErrorText();
    FWriteFailed = true;
    FFilePos = -1;
    FFileEnd = -1;
  }
  // The buffer may hold bytes past the new end: reload from a position that
  // still exists.
  FBufStart = std::min(FBufStart + FBufPos, size);
  FillBuffer();
}

}  // namespace bw
