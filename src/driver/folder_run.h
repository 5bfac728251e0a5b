#pragma once
// A whole folder of models in one run: every model below the folder, with
// the material files read once for all of them, converted side by side and
// reported in model order, then a summary.

#include <string>
#include <vector>

namespace bw {

struct TRun;
class TFileSet;

// The material files below a folder named as a material argument, in walk
// order. What the walk could not take is kept for the run's report.
std::vector<std::string> MaterialFolderFiles(TRun& run, const std::string& folder);
// The start-up of a folder run after the material arguments: the models
// found, the settings, the material files read. Returns -1 to go on, or the
// exit status. `named` holds the material files named.
int StartFolderRun(TRun& run, const std::string& folder, TFileSet& named);
// Converts every model and writes the summary; the exit status.
int RunFolder(TRun& run);

}  // namespace bw
