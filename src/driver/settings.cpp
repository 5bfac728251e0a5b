#include "driver/settings.h"

#include <charconv>
#include <cmath>

#include "driver/profile_reader.h"
#include "driver/run_state.h"
#include "support/number_text.h"
#include "support/platform.h"
#include "support/text_helpers.h"

namespace bw {
namespace {

constexpr size_t kNormalMax = 255;
constexpr double kScaleLimit = 1000000.0;
constexpr float kScaleDefault = 1000.0f;
constexpr const char* kSection = "system";

void ReadSwitch(const TProfile& profile, const char* key, bool& on, std::string& ext) {
  TDbgInfo info;
  info.Ext = ext;
  if (ParseSwitch(NormalizeValue(profile.GetString(kSection, key, "")), info)) {
    on = info.Enabled;
    ext = LowerCase(plat::SettingsNameAsUtf8(info.Ext));
  } else {
    on = false;
  }
}

// A plain switch: on only for ON, in any case and with blanks anywhere.
bool ReadOnOff(const TProfile& profile, const char* key) {
  return NormalizeValue(profile.GetString(kSection, key, "Off")) == "ON";
}

// The number of models converted side by side: 0 (absent too) for one per
// hardware thread, at most kMaxJobs; false for anything that is no whole
// number of zero or more.
bool ReadJobs(const TProfile& profile, int32_t& jobs) {
  const std::string text = NormalizeValue(profile.GetString(kSection, "Jobs", "0"));
  uint64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || end != text.data() + text.size()) return false;
  // A number too large to read is still a number: it asks for the most.
  jobs = ec == std::errc::result_out_of_range || value > kMaxJobs ? kMaxJobs : static_cast<int32_t>(value);
  return ec == std::errc() || ec == std::errc::result_out_of_range;
}

// A folder named in the settings: blanks inside kept, a comment after ";"
// and quotes left out.
std::string ReadFolder(const TProfile& profile, const char* key) {
  std::string value = profile.GetString(kSection, key, "");
  value = value.substr(0, value.find(';'));
  std::string folder = StripQuotes(value);
  while (!folder.empty() && folder.back() == ' ') folder.pop_back();
  while (!folder.empty() && folder.front() == ' ') folder.erase(0, 1);
  return folder;
}

}  // namespace

double ClampValue(double value, double min, double max) {
  if (value < min) return min;
  if (value > max) return max;
  return value;
}

std::string NormalizeValue(std::string_view s) {
  s = s.substr(0, kNormalMax);
  const size_t semi = s.find(';');
  if (semi != std::string_view::npos) s = s.substr(0, semi);
  std::string out;
  for (char c : s)
    if (c != '"' && c != ' ') out.push_back(c);
  return UpperCase(TrimControl(out));
}

std::string StripQuotes(std::string_view s) {
  std::string out;
  for (char c : s)
    if (c != '"') out.push_back(c);
  return std::string(TrimControl(out));
}

bool ParseSwitch(std::string_view s, TDbgInfo& info) {
  const size_t comma = s.find(',');
  if (comma == std::string_view::npos) return false;
  const std::string_view tail = TrimControl(s.substr(comma + 1));
  bool enabled;
  if (tail == "ON")
    enabled = true;
  else if (tail == "OFF")
    enabled = false;
  else
    return false;
  info.Enabled = enabled;
  info.Ext = std::string(TrimControl(s.substr(0, comma)));
  return true;
}

bool ParseFloatList(const TConsole& console, std::string_view s, int count, float* values) {
  if (count <= 0) return true;
  size_t from = 0;
  for (int i = 0; i < count; ++i) {
    size_t p = from <= s.size() ? s.find(',', from) : std::string_view::npos;
    if (p == std::string_view::npos) {
      if (i != count - 1) return false;
      p = s.size();
    }
    const std::string_view field = from <= p ? s.substr(from, p - from) : std::string_view();
    float value = 0;
    if (!ReadFloat(field, value)) {
      console.Line("Error : float value");
      return false;
    }
    values[i] = value;
    from = p + 1;
  }
  return true;
}

TSettings LoadSettings(const std::string& iniFileName, const TConsole& console) {
  return LoadSettingsFrom(TProfile::Load(iniFileName), console);
}

TSettings LoadSettingsFrom(const TProfile& profile, const TConsole& console) {
  TSettings st;
  st.FileMissing = profile.Missing();
  ReadSwitch(profile, "GenBod", st.GenBodOn, st.BodExt);
  ReadSwitch(profile, "GenLog", st.GenLogOn, st.LogExt);
  ReadSwitch(profile, "GenMesh", st.GenMeshOn, st.MeshExt);
  // The log holds one line per group mesh file: without those it has nothing.
  if (!st.GenMeshOn) st.GenLogOn = false;
  ReadSwitch(profile, "Debug", st.DebugOn, st.DbgExt);
  ReadSwitch(profile, "Preview", st.PreviewOn, st.PreviewExt);
  ReadSwitch(profile, "Page", st.PageOn, st.PageExt);
  // The picture takes the model BOD file's name but for its extension: the
  // same extension would put the picture in the place of the model.
  if (st.PreviewOn && st.GenBodOn && st.PreviewExt == st.BodExt) {
    console.Line("Error : Parameter \"Preview\" has the extension of the model files.");
    st.PreviewOn = false;
  }

  st.OriginOn = ReadOnOff(profile, "Origin");
  st.ModelMatOn = ReadOnOff(profile, "ModelMat");
  st.TexturesOn = ReadOnOff(profile, "Textures");

  st.ScaleFactor = {kScaleDefault, kScaleDefault, kScaleDefault};
  const std::string scale =
      NormalizeValue(profile.GetString(kSection, "ScaleFactor", "1000.0, 1000.0, 1000.0"));
  if (ParseFloatList(console, scale, 3, st.ScaleFactor.data())) {
    for (float& f : st.ScaleFactor) f = static_cast<float>(ClampValue(f, -kScaleLimit, kScaleLimit));
  } else {
    console.Line("Error : Parameter \"ScaleFactor\" has invalid value.");
  }

  st.StrMat = StripQuotes(profile.GetString(kSection, "StrMat", kDefaultStrMat));

  st.FolderMatOn = ReadOnOff(profile, "FolderMat");
  st.Jobs = 0;
  if (!ReadJobs(profile, st.Jobs)) {
    console.Line("Error : Parameter \"Jobs\" has invalid value.");
    st.Jobs = 0;
  }
  st.OutDir = plat::SettingsNameAsUtf8(ReadFolder(profile, "OutDir"));
  return st;
}

}  // namespace bw
