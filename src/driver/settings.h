#pragma once

#include <string>
#include <string_view>

namespace bw {

struct TSettings;
struct TConsole;
class TProfile;

struct TDbgInfo {
  bool Enabled = false;
  std::string Ext;
};

double ClampValue(double value, double min, double max);
std::string NormalizeValue(std::string_view s);
std::string StripQuotes(std::string_view s);
bool ParseSwitch(std::string_view s, TDbgInfo& info);
// Console messages of a failing field go to `console`.
bool ParseFloatList(const TConsole& console, std::string_view s, int count, float* values);

// Every setting from the settings file; what is wrong in it is said on the
// console.
TSettings LoadSettings(const std::string& iniFileName, const TConsole& console);
// The same from a profile already read.
TSettings LoadSettingsFrom(const TProfile& profile, const TConsole& console);

}  // namespace bw
