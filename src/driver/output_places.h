#pragma once
// Where a run's outputs go: beside each model, or below the folder that the
// OutDir setting names.

#include <string>

namespace bw {

// The folder of the outputs for an input argument (a model, or a folder of
// models) when OutDir names `outDir`: an absolute one as it is, a relative
// one below the folder that holds the argument ("mods" for "mods/data",
// "mods/data" for "mods/data/ship.cmp"). Ends in a separator unless empty
// (the current folder).
std::string OutDirRoot(const std::string& outDir, const std::string& argument);
// The page of a folder run: in the folder converted, or in the folder of
// `outDir` when set, named after the folder's last component ("mods/data"
// gives data<ext>; "." and a trailing separator name the folder itself; a
// drive's or the file system's root gives models<ext>).
std::string PagePath(const std::string& folder, const std::string& outDir, const std::string& ext);

// Makes the folder and those above it that are missing; what cannot be made
// shows when the first output there cannot be created.
void MakeFolders(const std::string& folder);

}  // namespace bw
