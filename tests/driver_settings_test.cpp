#include <gtest/gtest.h>

#include <array>
#include <cfloat>
#include <string>

#include "driver/profile_reader.h"
#include "driver/run_state.h"
#include "driver/settings.h"
#include "test_support.h"

using namespace bw;

namespace {

// Loads the settings from `text` into a fresh run; the console lines go to
// `console`.
TSettings Load(const std::string& text, std::string& console) {
  TRun run;
  run.Console.Capture = &console;
  LoadSettingsFrom(run, TProfile::FromText(text));
  return run.Settings;
}

TSettings Load(const std::string& text) {
  std::string console;
  TSettings st = Load(text, console);
  EXPECT_EQ(console, "");
  return st;
}

using Floats = std::array<float, 3>;

const std::string kScaleMsg = "Error : Parameter \"ScaleFactor\" has invalid value.\n";
const std::string kFloatMsg = "Error : float value\n";

}  // namespace

TEST(ProfileReader, ValuesSectionsAndKeys) {
  const auto p = TProfile::FromText(
      "; comment\r\n"
      "top=outside any section\r\n"
      "[other]\r\n"
      "Key=other section\r\n"
      "  [ System ]  \r\n"
      "  Key  =   padded value  \r\n"
      "key=second of the name\r\n"
      "Quoted=\"  inside quotes  \"\r\n"
      "Half=\"only one\n"
      "Inner=a \"b\" c\n"
      "Empty=\n"
      "  ;Hidden=comment\n"
      "NoEquals\n"
      "[system]\n"
      "Later=second section of the name\n");
  EXPECT_EQ(p.GetString("system", "key", "def"), "padded value");
  EXPECT_EQ(p.GetString("SYSTEM", "KEY", "def"), "padded value");
  EXPECT_EQ(p.GetString("system", "quoted", "def"), "  inside quotes  ");
  EXPECT_EQ(p.GetString("system", "Half", "def"), "\"only one");
  EXPECT_EQ(p.GetString("system", "Inner", "def"), "a \"b\" c");
  EXPECT_EQ(p.GetString("system", "Empty", "def"), "");
  EXPECT_EQ(p.GetString("system", "Hidden", "def"), "def");
  EXPECT_EQ(p.GetString("system", ";Hidden", "def"), "def");
  EXPECT_EQ(p.GetString("system", "NoEquals", "def"), "def");
  EXPECT_EQ(p.GetString("system", "Later", "def"), "def");
  EXPECT_EQ(p.GetString("system", "top", "def"), "def");
  EXPECT_EQ(p.GetString("other", "key", "def"), "other section");
  EXPECT_EQ(p.GetString("missing", "key", "def"), "def");
}

TEST(ProfileReader, LongValuesGarbageAndMissingFiles) {
  const std::string longValue(5000, 'v');
  const auto p = TProfile::FromText("[system]\nLong=" + longValue + "\nAfter=1\n");
  EXPECT_EQ(p.GetString("system", "Long", ""), std::string(2047, 'v'));
  EXPECT_EQ(p.GetString("system", "After", ""), "1");
  EXPECT_EQ(p.GetString("system", "Absent", longValue), std::string(2047, 'v'));

  std::string garbage;
  for (unsigned i = 0; i < 300000; ++i) garbage.push_back(static_cast<char>((i * 7919u) % 256u));
  garbage += std::string("\n[system]\nKey=\0x", 16) + "\n";
  const auto g = TProfile::FromText(garbage);
  EXPECT_EQ(g.GetString("system", "Key", "def"), std::string("\0x", 2));
  EXPECT_EQ(g.GetString("system", "Other", "def"), "def");

  bwtest::TTempDir dir;
  EXPECT_EQ(TProfile::Load(dir.File("none.ini")).GetString("system", "Key", "def"), "def");
  EXPECT_EQ(TProfile::Load(dir.Path().string()).GetString("system", "Key", "def"), "def");
  bwtest::WriteFileText(dir.File("a.ini"), "[system]\r\nKey=from file\r\n");
  EXPECT_EQ(TProfile::Load(dir.File("a.ini")).GetString("system", "Key", "def"), "from file");
}

TEST(SettingsHelpers, NormalizeStripAndSwitch) {
  EXPECT_EQ(NormalizeValue(" .bod , on ; comment"), ".BOD,ON");
  EXPECT_EQ(NormalizeValue("\"x\""), "X");
  EXPECT_EQ(NormalizeValue("\t.b o d,\x01"), ".BOD,");
  EXPECT_EQ(NormalizeValue(std::string(300, 'a') + ";"), std::string(255, 'A'));
  EXPECT_EQ(NormalizeValue("\xE4x"), "\xE4X");
  EXPECT_EQ(StripQuotes(" \"a; \"B\" c\"\t"), "a; B c");

  TDbgInfo info{false, ".keep"};
  EXPECT_FALSE(ParseSwitch(".BOD,ON,X", info));
  EXPECT_FALSE(ParseSwitch("ON", info));
  EXPECT_FALSE(ParseSwitch(".DBG,YES", info));
  EXPECT_FALSE(ParseSwitch(".DBG,on", info));
  EXPECT_EQ(info.Ext, ".keep");
  EXPECT_FALSE(info.Enabled);
  EXPECT_TRUE(ParseSwitch(" .BOD , ON ", info));
  EXPECT_TRUE(info.Enabled);
  EXPECT_EQ(info.Ext, ".BOD");
  EXPECT_TRUE(ParseSwitch(",OFF", info));
  EXPECT_FALSE(info.Enabled);
  EXPECT_EQ(info.Ext, "");

  EXPECT_EQ(ClampValue(5, -1, 1), 1);
  EXPECT_EQ(ClampValue(-5, -1, 1), -1);
  EXPECT_EQ(ClampValue(0.5, -1, 1), 0.5);
}

TEST(SettingsHelpers, FloatListGrammarAndPartialStores) {
  std::string console;
  TRun run;
  run.Console.Capture = &console;
  Floats v{9, 9, 9};
  EXPECT_TRUE(ParseFloatList(run, "1E3,.5,-2", 3, v.data()));
  EXPECT_EQ(v, (Floats{1000, 0.5f, -2}));
  EXPECT_TRUE(ParseFloatList(run, " +1. , 2e-1 ,3E+2,junk", 3, v.data()));
  EXPECT_EQ(v, (Floats{1, 0.2f, 300}));
  EXPECT_TRUE(ParseFloatList(run, "anything", 0, v.data()));
  EXPECT_EQ(console, "");

  v = {9, 9, 9};
  EXPECT_FALSE(ParseFloatList(run, "1,2", 3, v.data()));  // too few: no message
  EXPECT_EQ(v, (Floats{1, 9, 9}));
  EXPECT_EQ(console, "");

  const char* const bad[] = {"", ".", "-", "1e", "1e+", "1.2.3", "0x10", "1.5e", "inf", "nan", "1 2", "1f", "--1", "e5"};
  for (const char* field : bad) {
    console.clear();
    v = {9, 9, 9};
    EXPECT_FALSE(ParseFloatList(run, std::string("4,") + field + ",6", 3, v.data())) << field;
    EXPECT_EQ(v, (Floats{4, 9, 9})) << field;
    EXPECT_EQ(console, kFloatMsg) << field;
  }

  // The single-precision range: the largest single passes, a number that
  // rounds past it does not, one that rounds to zero is zero.
  console.clear();
  EXPECT_TRUE(ParseFloatList(run, "3.4028234e38,-3.40282356e38,1e-50", 3, v.data()));
  EXPECT_EQ(v, (Floats{FLT_MAX, -FLT_MAX, 0}));
  EXPECT_FALSE(ParseFloatList(run, "1,3.4028236e38,1", 3, v.data()));
  EXPECT_FALSE(ParseFloatList(run, "1,1e999999999999999999,1", 3, v.data()));
  EXPECT_TRUE(ParseFloatList(run, "0.000000000000000000000000000000000000000000000000000001e-999999999999,1,1", 3,
                              v.data()));
  EXPECT_EQ(v[0], 0);
  EXPECT_EQ(console, kFloatMsg + kFloatMsg);
}

TEST(Settings, DefaultsWhenFileSectionOrKeysAreAbsent) {
  bwtest::TTempDir dir;
  TRun run;
  std::string console;
  run.Console.Capture = &console;
  run.Names.IniFileName = dir.File("missing.ini");
  LoadSettings(run);
  const auto check = [](const TSettings& st) {
    EXPECT_FALSE(st.GenBodOn || st.GenLogOn || st.GenMeshOn || st.DebugOn || st.OriginOn);
    EXPECT_EQ(st.BodExt + st.MeshExt + st.LogExt + st.DbgExt, ".bod.txt.log.dbg");
    EXPECT_EQ(st.ScaleFactor, (Floats{1000, 1000, 1000}));
    EXPECT_EQ(st.StrMat, kDefaultStrMat);
  };
  check(run.Settings);
  EXPECT_EQ(console, "");
  check(Load("[other]\nGenBod=.bod, ON\nOrigin=ON\nScaleFactor=1,2,3\n"));
  check(Load(std::string("\0\xff\xfe[system\x01]\n\0GenBod=.x,ON", 26)));

  bwtest::WriteFileText(dir.File("set.ini"), bwtest::kAllOnIni);
  run.Names.IniFileName = dir.File("set.ini");
  LoadSettings(run);
  EXPECT_TRUE(run.Settings.GenBodOn && run.Settings.GenLogOn && run.Settings.GenMeshOn && run.Settings.DebugOn &&
              run.Settings.OriginOn);
  EXPECT_EQ(console, "");
}

TEST(Settings, SwitchesAndOrigin) {
  auto st = Load("[System]\ngenbod=.BOD , on\nGenLog=.LG,ON\nDebug=.dbg, YES\nOrigin=o n\n");
  EXPECT_TRUE(st.GenBodOn);
  EXPECT_EQ(st.BodExt, ".bod");
  EXPECT_FALSE(st.GenLogOn);  // no group mesh files, so no log
  EXPECT_EQ(st.LogExt, ".lg");
  EXPECT_FALSE(st.DebugOn);
  EXPECT_EQ(st.DbgExt, ".dbg");
  EXPECT_TRUE(st.OriginOn);

  st = Load("[system]\nGenBod=ON\nGenMesh=, ON\nGenLog=.log,ON\nDebug=\"x.DBG, ON ; note\"\nOrigin=ON;x\n");
  EXPECT_FALSE(st.GenBodOn);
  EXPECT_TRUE(st.GenMeshOn);
  EXPECT_EQ(st.MeshExt, "");
  EXPECT_TRUE(st.GenLogOn);
  EXPECT_TRUE(st.DebugOn);
  EXPECT_EQ(st.DbgExt, "x.dbg");
  EXPECT_TRUE(st.OriginOn);

  st = Load("[system]\nGenBod=.b,OFF\nOrigin=Off\n");
  EXPECT_FALSE(st.GenBodOn);
  EXPECT_EQ(st.BodExt, ".b");
  EXPECT_FALSE(st.OriginOn);
  EXPECT_FALSE(Load("[system]\nOrigin=ONE\n").OriginOn);
}

TEST(Settings, ScaleFactorLimitsAndMessages) {
  EXPECT_EQ(Load("[system]\nScaleFactor=1, 2, 3, 4\n").ScaleFactor, (Floats{1, 2, 3}));
  EXPECT_EQ(Load("[system]\nScaleFactor=2000000, -3000000, 0.5\n").ScaleFactor, (Floats{1000000, -1000000, 0.5f}));
  // Blanks go before the fields are split, and so does everything after ";".
  EXPECT_EQ(Load("[system]\nScaleFactor=1 000.5, 2 ,3e 1;x,y\n").ScaleFactor, (Floats{1000.5f, 2, 30}));

  std::string console;
  EXPECT_EQ(Load("[system]\nScaleFactor=2, x, 3\n", console).ScaleFactor, (Floats{2, 1000, 1000}));
  EXPECT_EQ(console, kFloatMsg + kScaleMsg);
  console.clear();
  EXPECT_EQ(Load("[system]\nScaleFactor=5000000, 7\n", console).ScaleFactor, (Floats{5000000, 1000, 1000}));
  EXPECT_EQ(console, kScaleMsg);
  console.clear();
  EXPECT_EQ(Load("[system]\nScaleFactor=\n", console).ScaleFactor, (Floats{1000, 1000, 1000}));
  EXPECT_EQ(console, kScaleMsg);
  console.clear();
  EXPECT_EQ(Load("[system]\nScaleFactor=7,1e39,3\n", console).ScaleFactor, (Floats{7, 1000, 1000}));
  EXPECT_EQ(console, kFloatMsg + kScaleMsg);
}

TEST(Settings, StrMatKeepsBlanksSemicolonsAndCase) {
  EXPECT_EQ(Load("[system]\nStrMat=\"MAT: %i; \"tex\" %s;\"\n").StrMat, "MAT: %i; tex %s;");
  EXPECT_EQ(Load("[system]\nStrMat=  A;b ; C  \n").StrMat, "A;b ; C");
  EXPECT_EQ(Load("[system]\nStrMat=\n").StrMat, "");
}
