#pragma once
// Output files that never hurt: a file is written under a temporary name in
// its own folder and takes its final name only when complete, and no output
// may lead to the input or the material file.

#include <memory>
#include <string>

#include "support/buf_stream.h"
#include "support/console.h"

namespace bw {

// The files of a run that no output may lead to, and where to say so.
struct TOutputGuard {
  TConsole Console;
  std::string InpFileName;
  std::string MatFileName;
  bool MatFileGiven = false;
};

// Writes "  Error : output file <name> would overwrite an input file." to the
// console and raises EOverwriteError when `name` is the input or the
// material file (by path or by file identity).
void GuardOutput(const TOutputGuard& guard, const std::string& name);

class TOutputFile {
 public:
  // Guards the final name, then creates the temporary file, written through
  // a buffer of bufSize bytes.
  TOutputFile(const TOutputGuard& guard, std::string finalName, int32_t bufSize = kBufSize);
  // Without Commit the temporary file is removed and the final name untouched.
  ~TOutputFile();
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  TBufStream& Stream() { return *FStream; }
  const std::string& FinalName() const { return FFinalName; }
  // Flushes, closes and renames the file over its final name. Raises
  // EFCreateError when the data could not be written or the rename fails.
  void Commit();

 private:
  std::string FFinalName;
  std::string FTempName;
  std::unique_ptr<TBufStream> FStream;
};

}  // namespace bw
