#include "driver/profile_reader.h"

#include <cstdint>
#include <vector>

#include "support/platform.h"
#include "support/text_helpers.h"

namespace bw {
namespace {

constexpr size_t kValueMax = 2047;
// A settings file is a few lines long; anything past this is not one, and a
// device or pipe in its place must not keep us reading forever.
constexpr int64_t kFileMax = int64_t{16} << 20;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// Calls `visit(line)` for each line without its end; stops when it returns
// false. CR LF and LF both end a line.
template <class F>
void ForEachLine(std::string_view text, F&& visit) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!visit(line)) return;
    pos = end + 1;
  }
}

}  // namespace

TProfile TProfile::Load(const std::string& fileName) {
  TProfile profile;
  std::string error;
  const plat::TFileHandle file = plat::OpenForRead(fileName, error);
  if (file == plat::kNoFile) {
    profile.FMissing = true;
    return profile;
  }
  char chunk[8192];
  while (static_cast<int64_t>(profile.FText.size()) < kFileMax) {
    const int64_t got = plat::ReadFile(file, chunk, sizeof chunk);
    if (got <= 0) break;
    profile.FText.append(chunk, static_cast<size_t>(got));
  }
  plat::CloseFile(file);
  return profile;
}

TProfile TProfile::FromText(std::string_view text) {
  TProfile profile;
  profile.FText.assign(text);
  return profile;
}

std::string TProfile::GetString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
  bool inSection = false;
  bool found = false;
  std::string value;
  ForEachLine(FText, [&](std::string_view rawLine) {
    const std::string_view line = TrimBlanks(rawLine);
    if (line.empty() || line.front() == ';') return true;
    if (line.front() == '[') {
      // Only the first section of the name counts: its end ends the search.
      if (inSection) return false;
      std::string_view name = line.substr(1);
      const size_t close = name.find(']');
      if (close != std::string_view::npos) name = name.substr(0, close);
      inSection = SameName(TrimBlanks(name), section);
      return true;
    }
    if (!inSection) return true;
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos || !SameName(TrimBlanks(line.substr(0, eq)), key)) return true;
    std::string_view v = TrimBlanks(line.substr(eq + 1));
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    value.assign(v.substr(0, kValueMax));
    found = true;
    return false;
  });
  return found ? value : std::string(defaultValue.substr(0, kValueMax));
}

}  // namespace bw
