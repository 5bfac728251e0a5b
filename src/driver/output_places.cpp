#include "driver/output_places.h"

#include "driver/driver.h"
#include "support/platform.h"
#include "support/path_names.h"

namespace bw {
namespace {

// A separator of folders. Only Windows has drives; where ':' separates
// nothing it is a byte of a name.
bool IsSlash(char c) {
  return c != ':' && plat::IsPathSeparator(c);
}

bool IsDriveColon(char c) {
  return c == ':' && plat::IsPathSeparator(c);
}

bool IsAbsolute(const std::string& path) {
  return (!path.empty() && IsSlash(path[0])) || (path.size() >= 2 && IsDriveColon(path[1]));
}

// The folder that holds the argument, with its separator; empty for the
// current folder. A root holds itself.
std::string HolderOf(const std::string& argument) {
  std::string s = argument;
  while (!s.empty() && IsSlash(s.back())) s.pop_back();
  if (s.empty() || IsDriveColon(s.back())) return argument;
  const std::string last = FileNamePart(s);
  if (last == "." || last == "..") return plat::JoinPath(s, "..");
  return FolderPart(s);
}

std::string WithSeparator(const std::string& folder) {
  if (folder.empty() || plat::IsPathSeparator(folder.back())) return folder;
  return plat::JoinPath(folder, "");
}

}  // namespace

std::string OutDirRoot(const std::string& outDir, const std::string& argument) {
  if (IsAbsolute(outDir)) return WithSeparator(outDir);
  const std::string holder = HolderOf(argument);
  return WithSeparator(holder.empty() ? outDir : plat::JoinPath(holder, outDir));
}

std::string PagePath(const std::string& folder, const std::string& outDir, const std::string& ext) {
  auto lastName = [](std::string s) {
    while (!s.empty() && IsSlash(s.back())) s.pop_back();
    if (!s.empty() && IsDriveColon(s.back())) return std::string();
    return FileNamePart(s);
  };
  std::string name = lastName(folder);
  if (name.empty() || name == "." || name == "..") name = lastName(plat::FullPath(folder));
  if (name.empty() || name == "." || name == "..") name = "models";
  const std::string place = outDir.empty() ? WithSeparator(folder) : OutDirRoot(outDir, folder);
  return place + name + ext;
}

void MakeFolders(const std::string& folder) {
  for (size_t i = 1; i <= folder.size(); ++i) {
    if (i < folder.size() && !IsSlash(folder[i])) continue;
    const std::string prefix = folder.substr(0, i);
    if (plat::IsPathSeparator(prefix.back())) continue;
    if (!plat::FolderExists(prefix)) plat::MakeFolder(prefix);
  }
}

}  // namespace bw
