#include "support/path_names.h"

#include "support/platform.h"

namespace bw {
namespace {

// Position just past the last path separator (0 when there is none).
size_t LastComponentStart(const std::string& path) {
  for (size_t i = path.size(); i > 0; --i)
    if (plat::IsPathSeparator(path[i - 1])) return i;
  return 0;
}

}  // namespace

std::string ReplaceExtension(const std::string& path, const std::string& ext) {
  const size_t start = LastComponentStart(path);
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < start) return path + ext;
  return path.substr(0, dot) + ext;
}

std::string FileNamePart(const std::string& path) {
  return path.substr(LastComponentStart(path));
}

std::string FolderPart(const std::string& path) {
  return path.substr(0, LastComponentStart(path));
}

}  // namespace bw
