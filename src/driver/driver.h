#pragma once

#include <string>
#include <vector>

namespace bw {

struct TRun;

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Everything before the conversion. Returns -1 to go on, or the exit status
// when the run ends here (usage, help, version, a file not found, an
// unguarded failure).
int StartUp(TRun& run, const std::string& ownPath, const std::vector<std::string>& args);
// False when the tree holds no mesh data node (the message is written).
bool ConvertAll(TRun& run);
// Runs ConvertAll under the single handler; false when the conversion failed.
bool RunConversion(TRun& run);
void ShutDown(TRun& run);

// A whole run: StartUp, RunConversion, ShutDown. Returns the exit status.
int RunProgram(TRun& run, const std::string& ownPath, const std::vector<std::string>& args);

// The path with the extension of its last component replaced by `ext`
// ("\", "/" and ":" end components).
std::string ReplaceExtension(const std::string& path, const std::string& ext);
// The last component of a path, and what comes before it (with its
// separator).
std::string FileNamePart(const std::string& path);
std::string FolderPart(const std::string& path);

}  // namespace bw
