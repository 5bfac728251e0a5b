#pragma once
// Output files that never hurt: a file is written under a temporary name in
// its own folder and takes its final name only when complete, and no output
// may lead to the input or a material file.

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "support/buf_stream.h"
#include "support/console.h"
#include "support/platform.h"
#include "support/run_control.h"

namespace bw {

// Files known by name and by identity, so that a name leading to one of
// them another way (a hard link, another spelling of the path) is told too.
// A file's identity is taken when it is added: asking once per file instead
// of once per file and question keeps the many outputs of a large model
// cheap to check against many material files. Both are hashed, so that a
// question costs the same however many files a run holds.
class TFileSet {
 public:
  void Add(const std::string& name);
  // Adds the file unless it is one of the files already (as Leads tells);
  // false when it was. One question to the system, where Leads and Add ask
  // two.
  bool AddNew(const std::string& name);
  // True when `name` is one of the files: the same path, or the same
  // existing file reached another way.
  bool Leads(const std::string& name) const;
  bool Empty() const { return FNames.empty(); }

 private:
  struct TIdHash {
    size_t operator()(const plat::TFileId& id) const {
      return static_cast<size_t>((id.Index * 0x9E3779B97F4A7C15ull) ^ id.Volume);
    }
  };
  std::unordered_set<std::string> FNames;
  std::unordered_set<plat::TFileId, TIdHash> FIds;
};

// The files of a run that no output may lead to, and where to say so.
struct TOutputGuard {
  TConsole Console;
  // Every model and material file of the run (none when null); shared by
  // every model's outputs, and only read.
  const TFileSet* Inputs = nullptr;
  // The run's control (none when null): the files under way are noted in
  // it, and once a stop is requested no new file starts, unless the file
  // is one that a stopped run still writes (the page of a folder run).
  TRunControl* Control = nullptr;
  bool Stoppable = true;
};

// Writes "  Error : output file <name> would overwrite an input file." to the
// console and raises EOverwriteError when `name` leads to one of the inputs.
void GuardOutput(const TOutputGuard& guard, const std::string& name);
// The same for any set of files that `name` may not replace.
void GuardOutput(const TConsole& console, const TFileSet& files, const std::string& name);

class TOutputFile {
 public:
  // Guards the final name, then creates the temporary file, written through
  // a buffer of bufSize bytes. Raises EInterrupted instead when the run has
  // been asked to stop.
  TOutputFile(const TOutputGuard& guard, std::string finalName, int32_t bufSize = kBufSize);
  // Without Commit the temporary file is removed and the final name untouched.
  ~TOutputFile();
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  TBufStream& Stream() { return *FStream; }
  const std::string& FinalName() const { return FFinalName; }
  // Flushes, closes and renames the file over its final name. Raises
  // EFCreateError when the data could not be written or the rename fails.
  // A file started is completed even when a stop is requested meanwhile.
  void Commit();

 private:
  std::string FFinalName;
  std::string FTempName;
  std::unique_ptr<TBufStream> FStream;
  TRunControl* FControl = nullptr;
  int FSlot = -1;
};

}  // namespace bw
