#pragma once
// A reader for settings files of "[section]" headers and "key=value" lines,
// with the properties the program relies on:
// - the value after "=" with the blanks around it removed, and one pair of
//   enclosing quotation marks removed; at most 2047 characters;
// - the default when the file, the section or the key does not exist; an
//   existing key with nothing after "=" gives the empty text;
// - section and key names matched without regard to case.
// Lines whose first non-blank character is ";" are comments.

#include <string>
#include <string_view>

namespace bw {

class TProfile {
 public:
  // Reads the file; a missing or unreadable file gives an empty profile.
  static TProfile Load(const std::string& fileName);
  static TProfile FromText(std::string_view text);

  std::string GetString(std::string_view section, std::string_view key, std::string_view defaultValue) const;
  // True when Load could not open its file: a run without one writes
  // nothing, and the user is told why.
  bool Missing() const { return FMissing; }

 private:
  std::string FText;
  bool FMissing = false;
};

}  // namespace bw
