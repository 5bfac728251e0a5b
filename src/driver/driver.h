#pragma once

#include <string>
#include <vector>

namespace bw {

struct TRun;
struct TModelRun;
struct TModelNames;
struct TSettings;
class TFileSet;
struct TImageRecord;
class TColourCache;

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Everything before the conversion. Returns -1 to go on, or the exit status
// when the run ends here (usage, help, version, a file not found, an
// unguarded failure).
int StartUp(TRun& run, const std::string& ownPath, const std::vector<std::string>& args);
void ShutDown(TRun& run);
// The run's last line when no settings file was found; nothing otherwise.
void WriteSettingsNote(const TRun& run);

// A whole run: StartUp, the conversion, ShutDown, or a folder's models one
// by one. Returns the exit status.
int RunProgram(TRun& run, const std::string& ownPath, const std::vector<std::string>& args);

// ---- One model, as single-model runs and folder runs convert it -----------

// The names of a model's files, its outputs named after `baseName` (a path
// without extension).
TModelNames ModelNamesOf(const std::string& input, const std::string& baseName, const TSettings& settings);
// The model's start-up: its diagnostics and log files opened, its file read.
// Raises when it cannot be (EOverwriteError after its console line).
// `written` records the files it opens, when images are written.
void OpenModel(const TRun& run, TModelRun& model, TFileSet& written);
// How a model's conversion ended.
enum class EModelEnd { Converted, NoMeshData, Failed, Interrupted };
// The conversion of a model opened, under the single handler. `written`
// holds every file written so far where the model writes, `images` the
// images among them; the model adds its own. `colours` serves the material
// files' image colours to its pictures. The material files' console
// warnings are said by the caller when `warnMatFiles` is false.
EModelEnd ConvertModel(const TRun& run, TModelRun& model, TFileSet& written, TImageRecord& images,
                       TColourCache& colours, bool warnMatFiles);
// Closes the model's streams, which writes out their buffers.
void CloseModel(TModelRun& model);
// The line that tells that a material file names nothing.
std::string NotUtfWarning(const std::string& matFileName);

// The path with the extension of its last component replaced by `ext`
// ("\", "/" and ":" end components).
std::string ReplaceExtension(const std::string& path, const std::string& ext);
// The last component of a path, and what comes before it (with its
// separator).
std::string FileNamePart(const std::string& path);
std::string FolderPart(const std::string& path);

}  // namespace bw
