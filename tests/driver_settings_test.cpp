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

using Floats = std::array<float, 3>;
const std::string kScaleMsg = "Error : Parameter \"ScaleFactor\" has invalid value.\n";
const std::string kFloatMsg = "Error : float value\n";

// The settings from `text`; the console lines go to `console`.
TSettings Load(const std::string& text, std::string& console) {
  return LoadSettingsFrom(TProfile::FromText(text), TConsole{&console});
}

TSettings Load(const std::string& text) {
  std::string console;
  TSettings st = Load(text, console);
  EXPECT_EQ(console, "");
  return st;
}

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
      "Empty=\n"
      "  ;Hidden=comment\n"
      "[system]\n"
      "Later=second section of the name\n");
  EXPECT_EQ(p.GetString("system", "key", "def"), "padded value");
  EXPECT_EQ(p.GetString("SYSTEM", "KEY", "def"), "padded value");
  EXPECT_EQ(p.GetString("system", "quoted", "def"), "  inside quotes  ");
  EXPECT_EQ(p.GetString("system", "Half", "def"), "\"only one");
  EXPECT_EQ(p.GetString("system", "Empty", "def"), "");
  EXPECT_EQ(p.GetString("system", "Hidden", "def"), "def");
  EXPECT_EQ(p.GetString("system", "Later", "def"), "def");
  EXPECT_EQ(p.GetString("system", "top", "def"), "def");
  EXPECT_EQ(p.GetString("other", "key", "def"), "other section");
  EXPECT_EQ(p.GetString("missing", "key", "def"), "def");
}

TEST(ProfileReader, LongValuesGarbageAndMissingFiles) {
  const auto p = TProfile::FromText("[system]\nLong=" + std::string(5000, 'v') + "\n");
  EXPECT_EQ(p.GetString("system", "Long", ""), std::string(2047, 'v'));

  std::string garbage;
  for (unsigned i = 0; i < 300000; ++i) garbage.push_back(static_cast<char>((i * 7919u) % 256u));
  garbage += std::string("\n[system]\nKey=\0x\n", 17);
  EXPECT_EQ(TProfile::FromText(garbage).GetString("system", "Key", "def"), std::string("\0x", 2));

  bwtest::TTempDir dir;
  EXPECT_EQ(TProfile::Load(dir.File("none.ini")).GetString("system", "Key", "def"), "def");
  EXPECT_EQ(TProfile::Load(dir.Path().string()).GetString("system", "Key", "def"), "def");
}

TEST(SettingsHelpers, NormalizeAndSwitch) {
  EXPECT_EQ(NormalizeValue(" .bod , on ; comment"), ".BOD,ON");
  EXPECT_EQ(NormalizeValue("\"x\""), "X");
  EXPECT_EQ(NormalizeValue(std::string(300, 'a') + ";"), std::string(255, 'A'));
  TDbgInfo info{false, ".keep"};
  EXPECT_FALSE(ParseSwitch(".BOD,ON,X", info));
  EXPECT_FALSE(ParseSwitch(".DBG,on", info));
  EXPECT_EQ(info.Ext, ".keep");
  EXPECT_TRUE(ParseSwitch(" .BOD , ON ", info));
  EXPECT_TRUE(info.Enabled);
  EXPECT_EQ(info.Ext, ".BOD");
}

TEST(SettingsHelpers, FloatListGrammarAndPartialStores) {
  std::string console;
  const TConsole run{&console};
  Floats v{9, 9, 9};
  EXPECT_TRUE(ParseFloatList(run, "1E3,.5,-2", 3, v.data()));
  EXPECT_EQ(v, (Floats{1000, 0.5f, -2}));
  EXPECT_TRUE(ParseFloatList(run, " +1. , 2e-1 ,3E+2,junk", 3, v.data()));
  EXPECT_EQ(v, (Floats{1, 0.2f, 300}));
  v = {9, 9, 9};
  EXPECT_FALSE(ParseFloatList(run, "1,2", 3, v.data()));  // too few fields: no message
  EXPECT_EQ(v, (Floats{1, 9, 9}));
  EXPECT_EQ(console, "");

  for (const char* field : {"", ".", "-", "1e", "1.2.3", "0x10", "inf", "nan", "1 2", "1f", "--1", "e5"}) {
    console.clear();
    v = {9, 9, 9};
    EXPECT_FALSE(ParseFloatList(run, std::string("4,") + field + ",6", 3, v.data())) << field;
    EXPECT_EQ(v, (Floats{4, 9, 9})) << field;
    EXPECT_EQ(console, kFloatMsg) << field;
  }

  // The largest single passes, a number rounding past it is no number, one
  // rounding to nothing is zero.
  console.clear();
  EXPECT_TRUE(ParseFloatList(run, "3.4028234e38,-3.40282356e38,1e-50", 3, v.data()));
  EXPECT_EQ(v, (Floats{FLT_MAX, -FLT_MAX, 0}));
  EXPECT_FALSE(ParseFloatList(run, "1,3.4028236e38,1", 3, v.data()));
  EXPECT_FALSE(ParseFloatList(run, "1,1e999999999999999999,1", 3, v.data()));
  EXPECT_EQ(console, kFloatMsg + kFloatMsg);
}

TEST(Settings, DefaultsWhenFileSectionOrKeysAreAbsent) {
  bwtest::TTempDir dir;
  std::string console;
  const TSettings missing = LoadSettings(dir.File("missing.ini"), TConsole{&console});
  EXPECT_EQ(console, "");
  const auto check = [](const TSettings& st) {
    EXPECT_FALSE(st.GenBodOn || st.GenLogOn || st.GenMeshOn || st.DebugOn || st.OriginOn);
    EXPECT_EQ(st.BodExt + st.MeshExt + st.LogExt + st.DbgExt, ".bod.txt.log.dbg");
    EXPECT_EQ(st.ScaleFactor, (Floats{1000, 1000, 1000}));
    EXPECT_EQ(st.StrMat, kDefaultStrMat);
  };
  check(missing);
  check(Load("[other]\nGenBod=.bod, ON\nOrigin=ON\nScaleFactor=1,2,3\n"));

  bwtest::WriteFileText(dir.File("set.ini"), bwtest::kAllOnIni);
  const TSettings st = LoadSettings(dir.File("set.ini"), TConsole{&console});
  EXPECT_TRUE(st.GenBodOn && st.GenLogOn && st.GenMeshOn && st.DebugOn && st.OriginOn);
}

TEST(Settings, SwitchesAndOrigin) {
  auto st = Load("[System]\ngenbod=.BOD , on\nGenLog=.LG,ON\nDebug=.dbg, YES\nOrigin=o n\n");
  EXPECT_TRUE(st.GenBodOn);
  EXPECT_EQ(st.BodExt, ".bod");
  EXPECT_FALSE(st.GenLogOn);  // no group mesh files, so no log
  EXPECT_FALSE(st.DebugOn);
  EXPECT_TRUE(st.OriginOn);

  st = Load("[system]\nGenBod=ON\nGenMesh=, ON\nGenLog=.log,ON\nDebug=\"x.DBG, ON ; note\"\nOrigin=ON;x\n");
  EXPECT_FALSE(st.GenBodOn);
  EXPECT_TRUE(st.GenMeshOn);
  EXPECT_EQ(st.MeshExt, "");
  EXPECT_TRUE(st.GenLogOn);
  EXPECT_TRUE(st.DebugOn);
  EXPECT_EQ(st.DbgExt, "x.dbg");
  EXPECT_TRUE(st.OriginOn);
  EXPECT_FALSE(Load("[system]\nOrigin=ONE\n").OriginOn);

  // The picture is off unless switched on, and never takes the model's name.
  EXPECT_FALSE(Load("[system]\nGenBod=.bod, ON\n").PreviewOn);
  st = Load("[system]\nPreview=.SVG, ON\n");
  EXPECT_TRUE(st.PreviewOn);
  EXPECT_EQ(st.PreviewExt, ".svg");
  std::string console;
  EXPECT_FALSE(Load("[system]\nGenBod=.bod, ON\nPreview=.BOD, ON\n", console).PreviewOn);
  EXPECT_EQ(console, "Error : Parameter \"Preview\" has the extension of the model files.\n");
  EXPECT_TRUE(Load("[system]\nPreview=.bod, ON\n").PreviewOn);  // no model file to lose
}

TEST(Settings, ScaleFactorLimitsAndMessages) {
  EXPECT_EQ(Load("[system]\nScaleFactor=1, 2, 3, 4\n").ScaleFactor, (Floats{1, 2, 3}));
  EXPECT_EQ(Load("[system]\nScaleFactor=2000000, -3000000, 0.5\n").ScaleFactor,
            (Floats{1000000, -1000000, 0.5f}));
  EXPECT_EQ(Load("[system]\nScaleFactor=1 000.5, 2 ,3e 1;x,y\n").ScaleFactor, (Floats{1000.5f, 2, 30}));

  const auto expect = [](const std::string& value, Floats values, const std::string& lines) {
    std::string console;
    EXPECT_EQ(Load("[system]\nScaleFactor=" + value + "\n", console).ScaleFactor, values) << value;
    EXPECT_EQ(console, lines) << value;
  };
  expect("2, x, 3", {2, 1000, 1000}, kFloatMsg + kScaleMsg);
  expect("5000000, 7", {5000000, 1000, 1000}, kScaleMsg);
  expect("", {1000, 1000, 1000}, kScaleMsg);
  expect("7,1e39,3", {7, 1000, 1000}, kFloatMsg + kScaleMsg);
}

TEST(Settings, StrMatKeepsBlanksSemicolonsAndCase) {
  EXPECT_EQ(Load("[system]\nStrMat=\"MAT: %i; \"tex\" %s;\"\n").StrMat, "MAT: %i; tex %s;");
  EXPECT_EQ(Load("[system]\nStrMat=  A;b ; C  \n").StrMat, "A;b ; C");
  EXPECT_EQ(Load("[system]\nStrMat=\n").StrMat, "");
}
