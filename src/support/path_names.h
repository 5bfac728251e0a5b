#pragma once
// The parts of a path, by the system's one rule of what separates folders
// (plat::IsPathSeparator).

#include <string>

namespace bw {

// The path with the extension of its last component replaced by `ext`.
std::string ReplaceExtension(const std::string& path, const std::string& ext);
// The last component of a path, and what comes before it (with its
// separator).
std::string FileNamePart(const std::string& path);
std::string FolderPart(const std::string& path);

}  // namespace bw
