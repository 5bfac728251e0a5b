#include "support/output_file.h"

#include "support/errors.h"
#include "support/platform.h"
#include "support/text_helpers.h"

namespace bw {
void TFileSet::Add(const std::string& name) {
  if (!FNames.insert(name).second) return;
  plat::TFileId id;
  if (plat::FileIdentity(name, id)) FIds.insert(id);
}

bool TFileSet::AddNew(const std::string& name) {
  if (FNames.count(name) != 0) return false;
  plat::TFileId id;
  const bool known = plat::FileIdentity(name, id);
  if (known && FIds.count(id) != 0) return false;
  FNames.insert(name);
  if (known) FIds.insert(id);
  return true;
}

bool TFileSet::Leads(const std::string& name) const {
  if (FNames.empty()) return false;
  if (FNames.count(name) != 0) return true;
  plat::TFileId id;
  return !FIds.empty() && plat::FileIdentity(name, id) && FIds.count(id) != 0;
}

void GuardOutput(const TConsole& console, const TFileSet& files, const std::string& name) {
  if (!files.Leads(name)) return;
  const std::string line = "  Error : output file " + name + " would overwrite an input file.";
  console.Line(line);
  throw EOverwriteError(line);
}

void GuardOutput(const TOutputGuard& guard, const std::string& name) {
  if (guard.Inputs) GuardOutput(guard.Console, *guard.Inputs, name);
}

TOutputFile::TOutputFile(const TOutputGuard& guard, std::string finalName, int32_t bufSize)
    : FFinalName(std::move(finalName)), FControl(guard.Control) {
  if (FControl && guard.Stoppable && FControl->StopRequested()) throw EInterrupted();
  GuardOutput(guard, FFinalName);
  FTempName = FFinalName + ".~" + UIntText(plat::ProcessId()) + ".tmp";
  // The temporary name is emptied on creation too, so it gets the same guard.
  GuardOutput(guard, FTempName);
  if (FControl) FSlot = FControl->Enter(FTempName);
  try {
    FStream = std::make_unique<TBufStream>(FTempName, ModeCreate, bufSize);
  } catch (const EFCreateError& e) {
    if (FControl) FControl->Leave(FSlot);
    // The user knows the final name only; keep the system's reason.
    throw EFCreateError(FFinalName, e.Reason);
  }
}

TOutputFile::~TOutputFile() {
  if (!FStream) return;
  FStream->Close();
  FStream.reset();
  plat::RemoveFile(FTempName);
  if (FControl) FControl->Leave(FSlot);
}

void TOutputFile::Commit() {
  if (!FStream) throw EInvalidOp("output file " + FFinalName + " committed twice");
  if (FControl && FControl->BeforeCommit) FControl->BeforeCommit(FFinalName);
  const bool written = FStream->Close();
  const std::string writeError = FStream->WriteError();
  FStream.reset();
  std::string error;
  const bool renamed = written && plat::RenameReplace(FTempName, FFinalName, error);
  if (!renamed) plat::RemoveFile(FTempName);
  if (FControl) FControl->Leave(FSlot);
  if (!written) throw EFCreateError(FFinalName, writeError.empty() ? "Not every byte could be written." : writeError);
  if (!renamed) throw EFCreateError(FFinalName, error);
}

}  // namespace bw
