#include "support/file_reader.h"

#include "support/buf_stream.h"
#include "support/errors.h"

namespace bw {
namespace detail {

plat::TFileHandle OpenUnchanged(const std::string& path, const plat::TFileStamp& stamp) {
  std::string error;
  const plat::TFileHandle file = plat::OpenShared(path, error);
  if (file == plat::kNoFile) RaiseRange("file gone since it was read");
  try {
    CheckUnchanged(file, stamp);
  } catch (...) {
    plat::CloseFile(file);
    throw;
  }
  return file;
}

void CheckUnchanged(plat::TFileHandle file, const plat::TFileStamp& stamp) {
  plat::TFileStamp now;
  if (!plat::FileStampOf(file, now) || !(now == stamp)) RaiseRange("file changed since it was read");
}

void ReadPiece(plat::TFileHandle file, size_t offset, uint8_t* out, size_t count) {
  const int64_t got = plat::ReadAt(file, static_cast<int64_t>(offset), out, static_cast<int64_t>(count));
  if (got != static_cast<int64_t>(count)) RaiseRange("file shorter than when it was read");
}

}  // namespace detail

TFileReader::TFileReader(const std::string& path) {
  std::string error;
  FFile = plat::OpenShared(path, error);
  if (FFile == plat::kNoFile) throw EFOpenError("Cannot open file \"" + path + "\". " + error);
  if (!plat::FileStampOf(FFile, FStamp)) {
    plat::CloseFile(FFile);
    throw EFOpenError("Cannot open file \"" + path + "\". The file cannot be read.");
  }
  if (FStamp.Size < 0 || FStamp.Size > kMaxStreamOffset) {
    plat::CloseFile(FFile);
    RaiseRange("file larger than 2 GB");
  }
}

TFileReader::~TFileReader() {
  plat::CloseFile(FFile);
}

std::span<const uint8_t> TFileReader::Load(size_t offset, size_t count, size_t window) {
  const size_t size = Size();
  if (offset > size || count > size - offset || count > kWindowSize) RaiseRange("read outside the file");
  TWindow& w = FWindows.at(window);
  if (!w.Bytes) w.Bytes = std::make_unique_for_overwrite<uint8_t[]>(std::min(kWindowSize, size));
  w.Length = 0;
  const size_t length = std::min(kWindowSize, size - offset);
  detail::ReadPiece(FFile, offset, w.Bytes.get(), length);
  w.Start = offset;
  w.Length = length;
  return {w.Bytes.get(), length};
}

}  // namespace bw
