#include "support/output_file.h"

#include "support/errors.h"
#include "support/platform.h"
#include "support/text_helpers.h"

namespace bw {
namespace {

bool LeadsTo(const std::string& name, const std::string& input) {
  return plat::SameFile(name, input);
}

std::string CreateFailure(const std::string& name, const std::string& reason) {
  return "Cannot create file \"" + name + "\". " + reason;
}

}  // namespace

void GuardOutput(const TOutputGuard& guard, const std::string& name) {
  const bool hitsInput = LeadsTo(name, guard.InpFileName);
  const bool hitsMat = guard.MatFileGiven && LeadsTo(name, guard.MatFileName);
  if (!hitsInput && !hitsMat) return;
  const std::string line = "  Error : output file " + name + " would overwrite an input file.";
  guard.Console.Line(line);
  throw EOverwriteError(line);
}

TOutputFile::TOutputFile(const TOutputGuard& guard, std::string finalName, int32_t bufSize)
    : FFinalName(std::move(finalName)) {
  GuardOutput(guard, FFinalName);
  FTempName = FFinalName + ".~" + UIntText(plat::ProcessId()) + ".tmp";
  // The temporary name is emptied on creation too, so it gets the same guard.
  GuardOutput(guard, FTempName);
  try {
    FStream = std::make_unique<TBufStream>(FTempName, ModeCreate, bufSize);
  } catch (const EFCreateError& e) {
    // The user knows the final name only; keep the system's reason.
    const std::string prefix = CreateFailure(FTempName, "");
    const std::string what = e.what();
    const std::string reason =
        what.compare(0, prefix.size(), prefix) == 0 ? what.substr(prefix.size()) : what;
    throw EFCreateError(CreateFailure(FFinalName, reason));
  }
}

TOutputFile::~TOutputFile() {
  if (!FStream) return;
  FStream->Close();
  FStream.reset();
  plat::RemoveFile(FTempName);
}

void TOutputFile::Commit() {
  if (!FStream) throw EInvalidOp("output file " + FFinalName + " committed twice");
  const bool written = FStream->Close();
  FStream.reset();
  if (!written) {
    plat::RemoveFile(FTempName);
    throw EFCreateError(CreateFailure(FFinalName, "Not every byte could be written."));
  }
  std::string error;
  if (!plat::RenameReplace(FTempName, FFinalName, error)) {
    plat::RemoveFile(FTempName);
    throw EFCreateError(CreateFailure(FFinalName, error));
  }
}

}  // namespace bw
