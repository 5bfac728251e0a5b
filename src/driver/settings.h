#pragma once

#include <string>
#include <string_view>

namespace bw {

struct TRun;
class TProfile;

struct TDbgInfo {
  bool Enabled = false;
  std::string Ext;
};

double ClampValue(double value, double min, double max);
std::string NormalizeValue(std::string_view s);
std::string StripQuotes(std::string_view s);
bool ParseSwitch(std::string_view s, TDbgInfo& info);
// Console messages of a failing field go to run.Console.
bool ParseFloatList(TRun& run, std::string_view s, int count, float* values);

// Reads run.Names.IniFileName and sets every setting.
void LoadSettings(TRun& run);
// The same from a profile already read.
void LoadSettingsFrom(TRun& run, const TProfile& profile);

}  // namespace bw
