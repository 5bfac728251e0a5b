#pragma once
// Wildcards in material-file arguments. Windows shells pass "*.mat" on as it
// is, so there the program lists the folder and matches the names itself,
// by one rule and in one order on every system.

#include <string>
#include <string_view>
#include <vector>

namespace bw {

// True when the last path component of `arg` (components end as
// plat::IsPathSeparator says) holds '*' or '?'.
bool HasWildcard(std::string_view arg);

// '*' matches any run of bytes (also none), '?' exactly one byte, letters by
// ASCII case folding; every other byte must be equal.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// The files (folders skipped) of the argument's folder whose long names match
// its last component, each as the argument's folder part (up to and including
// its last separator, as given) + the name, ordered by their bytes after
// ASCII case folding (ties by the raw bytes). Empty when nothing matches or
// the folder cannot be listed.
std::vector<std::string> ExpandWildcard(const std::string& arg);

}  // namespace bw
