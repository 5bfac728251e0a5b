#include "driver/folder_walk.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <unordered_set>
#include <utility>

#include "support/platform.h"
#include "support/run_control.h"
#include "support/text_helpers.h"

namespace bw {
namespace {

using TKind = plat::TFolderEntry::TKind;

unsigned char Folded(char c) {
  return static_cast<unsigned char>(LowerAscii(c));
}

bool HasEnding(std::string_view name, std::span<const std::string_view> endings) {
  return std::any_of(endings.begin(), endings.end(), [name](std::string_view ending) {
    return name.size() >= ending.size() && SameName(name.substr(name.size() - ending.size()), ending);
  });
}

struct TIdHash {
  size_t operator()(const plat::TFileId& id) const {
    return static_cast<size_t>((id.Index * 0x9E3779B97F4A7C15ull) ^ id.Volume);
  }
};
using TIdSet = std::unordered_set<plat::TFileId, TIdHash>;

// A file taken, with what tells it from the same file under another name.
struct TFound {
  TWalkedFile File;
  plat::TFileId Id;
};

// A folder on the way down, with its subfolders still to walk.
struct TFrame {
  std::string Path;
  std::string Relative;
  std::vector<std::string> Subfolders;
  size_t Next = 0;
  plat::TFileId Id;
  bool HasId = false;
};

std::string Below(const std::string& relative, const std::string& name) {
  return relative.empty() ? name : relative + '/' + name;
}

// Depth first with a stack of its own: a deep tree costs memory, never the
// call stack. Only the folders on the way down are kept, each with the
// names of its subfolders, so memory stays within the entries seen.
class TWalker {
 public:
  TWalker(std::span<const std::string_view> endings, const TRunControl* control)
      : FEndings(endings), FControl(control) {}

  TFolderWalk Run(const std::string& folder) {
    Enter(folder, {});
    // A stopped run goes on with what the walk has found.
    while (!FStack.empty() && !(FControl && FControl->StopRequested())) {
      TFrame& top = FStack.back();
      if (top.Next == top.Subfolders.size()) {
        if (top.HasId) FOnTheWay.erase(top.Id);
        FStack.pop_back();
        continue;
      }
      std::string& name = top.Subfolders[top.Next++];
      std::string path = plat::JoinPath(top.Path, name);
      std::string relative = Below(top.Relative, name);
      name = {};
      Enter(std::move(path), std::move(relative));  // `top` may be gone after this
    }
    return Result();
  }

 private:
  void Enter(std::string path, std::string relative) {
    TFrame frame;
    // A folder that contains itself is only possible through the system's
    // own mounts, as links are not followed; without this check such a
    // tree would be walked until memory runs out.
    frame.HasId = plat::FileIdentity(path.empty() ? "." : path, frame.Id);
    if (frame.HasId && FOnTheWay.contains(frame.Id)) {
      Skip(std::move(relative), std::move(path), TWalkSkip::FolderLoop);
      return;
    }
    std::string error;
    if (!plat::ListFolder(path, FEntries, error)) {
      Skip(std::move(relative), std::move(path), TWalkSkip::FolderNotListed, std::move(error));
      return;
    }
    for (plat::TFolderEntry& entry : FEntries) {
      switch (entry.Kind) {
        case TKind::Folder:
          if (entry.Nameable)
            frame.Subfolders.push_back(std::move(entry.Name));
          else
            Skip(Below(relative, entry.Name), plat::JoinPath(path, entry.Name), TWalkSkip::FolderNameNotHeld);
          break;
        case TKind::File:
        case TKind::Unknown:
          if (HasEnding(entry.Name, FEndings)) Take(entry, path, relative);
          break;
        case TKind::FolderLink:
        case TKind::Other: break;
      }
    }
    if (frame.HasId) FOnTheWay.insert(frame.Id);
    frame.Path = std::move(path);
    frame.Relative = std::move(relative);
    FStack.push_back(std::move(frame));
  }

  void Take(const plat::TFolderEntry& entry, const std::string& folderPath,
            const std::string& folderRelative) {
    TWalkedFile file{Below(folderRelative, entry.Name), plat::JoinPath(folderPath, entry.Name)};
    plat::TFileId id;
    if (!entry.Nameable)
      Skip(std::move(file.Relative), std::move(file.Path), TWalkSkip::FileNameNotHeld);
    else if (entry.Kind == TKind::Unknown || !plat::FileIdentity(file.Path, id))
      Skip(std::move(file.Relative), std::move(file.Path), TWalkSkip::FileNotReached);
    else
      FFound.push_back({std::move(file), id});
  }

  void Skip(std::string relative, std::string path, TWalkSkip reason, std::string detail = {}) {
    FWalk.Skipped.push_back({std::move(relative), std::move(path), reason, std::move(detail)});
  }

  TFolderWalk Result() {
    const auto before = [](const auto& a, const auto& b) { return WalkOrderBefore(a.Relative, b.Relative); };
    std::sort(FFound.begin(), FFound.end(),
              [&](const TFound& a, const TFound& b) { return before(a.File, b.File); });
    TIdSet taken;
    for (TFound& found : FFound)
      if (taken.insert(found.Id).second) FWalk.Files.push_back(std::move(found.File));
    std::sort(FWalk.Skipped.begin(), FWalk.Skipped.end(), before);
    return std::move(FWalk);
  }

  std::span<const std::string_view> FEndings;
  const TRunControl* FControl;
  std::vector<TFrame> FStack;
  TIdSet FOnTheWay;                          // the folders on the stack
  std::vector<plat::TFolderEntry> FEntries;  // one listing's, reused
  std::vector<TFound> FFound;
  TFolderWalk FWalk;
};

}  // namespace

bool WalkOrderBefore(std::string_view a, std::string_view b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i)
    if (Folded(a[i]) != Folded(b[i])) return Folded(a[i]) < Folded(b[i]);
  if (a.size() != b.size()) return a.size() < b.size();
  // Names that fold alike (on a system that tells "A" from "a") still get
  // one order, whatever order the system listed them in.
  return a < b;
}

std::string SkipText(const TSkippedEntry& entry) {
  switch (entry.Reason) {
    case TWalkSkip::FileNameNotHeld: return "its name is not valid Unicode";
    case TWalkSkip::FolderNameNotHeld: return "a folder whose name is not valid Unicode";
    case TWalkSkip::FolderNotListed: return "the folder cannot be listed: " + entry.Detail;
    case TWalkSkip::FileNotReached: return "it leads to no file";
    case TWalkSkip::FolderLoop: return "a folder met again below itself";
  }
  return "skipped";
}

TFolderWalk WalkFolder(const std::string& folder, std::span<const std::string_view> endings,
                       const TRunControl* control) {
  return TWalker(endings, control).Run(folder);
}

}  // namespace bw
