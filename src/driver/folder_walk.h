#pragma once
// The files of a whole folder tree that one command converts: the models
// below a model folder, the material files below a material folder.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace bw {

class TRunControl;

// Name endings that select the files, matched with ASCII case folding.
inline constexpr std::array<std::string_view, 2> kModelEndings = {".cmp", ".3db"};
inline constexpr std::array<std::string_view, 1> kMaterialEndings = {".mat"};

struct TWalkedFile {
  std::string Relative;  // below the folder, '/' between components on every system
  std::string Path;      // the folder as given joined to Relative by the system's separator
};

enum class TWalkSkip : uint8_t {
  FileNameNotHeld,    // a selected file whose name the program cannot pass to the system
  FolderNameNotHeld,  // likewise a folder: what it holds is not looked at
  FolderNotListed,    // the system refuses to list a folder (Detail: its text)
  FileNotReached,     // a selected name that leads to no file: a link to nothing, or gone
  FolderLoop,         // a folder that is its own ancestor (a bind mount, say), walked once
};

struct TSkippedEntry {
  // As in TWalkedFile, but on Windows a name that is not valid Unicode is a
  // likeness for display that may name another file or none. The walked
  // folder itself, when it cannot be listed, has an empty Relative.
  std::string Relative;
  std::string Path;
  TWalkSkip Reason = TWalkSkip::FolderNotListed;
  std::string Detail;
  bool Material = false;  // met by the walk of a material folder
};

struct TFolderWalk {
  std::vector<TWalkedFile> Files;
  // What the walk could not take, so that the user is told rather than left
  // with a list that quietly lacks files.
  std::vector<TSkippedEntry> Skipped;
};

// Every file at any depth below `folder` whose name ends in one of
// `endings`. Links to folders (on Windows also junctions and mount points)
// are not followed, `folder` itself excepted; a link to a file is a file. A
// file reached by several names is taken once, under the first. Both lists
// are ordered by Relative compared byte by byte after ASCII case folding,
// ties by the unfolded bytes, so that the order is the same on every system
// and never depends on the listing.
//
// A folder that cannot be listed (`folder` itself too) is a skipped entry
// and not a failure of the whole walk: its files are missing from the list
// and the caller must say so, while everything else is converted.
// A stop requested of `control` ends the walk between folders.
TFolderWalk WalkFolder(const std::string& folder, std::span<const std::string_view> endings,
                       const TRunControl* control = nullptr);

// Why the walk could not take an entry, as the run's report says it.
std::string SkipText(const TSkippedEntry& entry);

// The walk's order of relative paths (see WalkFolder).
bool WalkOrderBefore(std::string_view a, std::string_view b);

}  // namespace bw
