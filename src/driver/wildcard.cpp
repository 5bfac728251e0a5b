#include "driver/wildcard.h"

#include <algorithm>

#include "support/platform.h"
#include "support/text_helpers.h"

namespace bw {
namespace {

// Where the last component begins: after the last separator, else at 0.
size_t NameStart(std::string_view arg) {
  for (size_t i = arg.size(); i > 0; --i)
    if (plat::IsPathSeparator(arg[i - 1])) return i;
  return 0;
}

unsigned char Folded(char c) {
  return static_cast<unsigned char>(LowerAscii(c));
}

// A total order: folded bytes first, so that "A.mat" sits beside "a.mat" and
// not before every lower-case name; raw bytes only to part names that fold
// alike, so that the order never hangs on the order of the listing.
bool ComesBefore(const std::string& a, const std::string& b) {
  const auto folded = [](char x, char y) { return Folded(x) < Folded(y); };
  if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), folded)) return true;
  if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), folded)) return false;
  return a < b;
}

}  // namespace

bool HasWildcard(std::string_view arg) {
  return arg.find_first_of("*?", NameStart(arg)) != std::string_view::npos;
}

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  // Greedy, remembering only the last '*': when what follows it fails, that
  // star takes one byte more and the rest is tried again. An earlier star
  // never needs to take more: the piece it was followed by matched at its
  // first possible place, and anything a later place would leave for the
  // rest, the later star can take as well. So the time stays within pattern
  // length times name length, where full backtracking is exponential.
  size_t p = 0, n = 0;
  size_t star = std::string_view::npos, starName = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      starName = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || Folded(pattern[p]) == Folded(name[n]))) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::vector<std::string> ExpandWildcard(const std::string& arg) {
  const size_t start = NameStart(arg);
  const std::string folder = arg.substr(0, start);
  const std::string_view pattern = std::string_view(arg).substr(start);
  std::vector<std::string> names;
  if (!plat::ListFiles(folder, names)) return {};
  std::erase_if(names, [&](const std::string& name) { return !WildcardMatch(pattern, name); });
  std::sort(names.begin(), names.end(), ComesBefore);
  for (std::string& name : names) name.insert(0, folder);
  return names;
}

}  // namespace bw
