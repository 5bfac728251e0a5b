#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "cmp_builder.h"
#include "driver/run_state.h"
#include "output/materials.h"
#include "support/buf_stream.h"
#include "support/text_helpers.h"
#include "test_support.h"

using namespace bw;
using namespace bwtest;

namespace {

const std::string kBuiltIn0 =
    "MATERIAL5: 0; 38; 200;200;200; 255;255;255; 229;229;229; 0;0;200;20; 0;0;0; 100; 0;0;0;0;0;0;";
const std::string kBuiltIn1 =
    "MATERIAL5: 1; 38; 200;200;200; 255;255;255; 229;229;229; 0;0;200;20; 0;0;0; 100; 0;0;0;0;0;0;";

std::string Hex(const std::string& name) {
  return DWordToHex(TestNameHash(name));
}

// A material library: Hull twice (the first texture wins), a texture path
// whose last "." sits in a folder name, a leaf without data, and a texture
// name that is all extension.
Bytes SampleMatFile() {
  return BuildUtf({Folder(
      "material library",
      {Folder("Hull", {TextLeaf("Dt_name", "Hull_Tex.tga")}), Folder("Deck", {TextLeaf("dt_name", "a.b\\c")}),
       Folder("Hull", {TextLeaf("dt_name", "Other.tga")}), Folder("Empty", {Leaf("dt_name", {})}),
       Folder("Dot", {TextLeaf("DT_NAME", ".tga")})})});
}

// Reads `bytes` as a material file and lists it, with the diagnostics
// file open and the console captured, and the material lines made from it.
struct TMatRun {
  TTempDir Dir;
  TDbgRun T;
  TMatSource Mat;
  TMaterials Materials;
  std::string Console;

  explicit TMatRun(const Bytes& bytes, bool debugOn = true) : T(debugOn) {
    WriteFileBytes(Dir.File("lib.mat"), bytes);
    Mat = ReadMatFileSource(Dir.File("lib.mat"));
    T.Ctx.Console.Capture = &Console;
    WriteMatFileListing(Mat, T.Ctx);
    Materials.Sources = {&Mat};
    Materials.StrMat = "M%d tex=%1:s";
  }
  std::string Dump() { return T.DbgText(); }
};

}  // namespace

TEST(FormatMatLine, BuiltInTemplateOrStrMatWithTextureNames) {
  TMaterials materials;
  materials.StrMat = "ignored %1:s";  // only a material file brings StrMat into play
  EXPECT_EQ(FormatMatLine(materials, 0, 0x1234), kBuiltIn0);
  EXPECT_EQ(FormatMatLine(materials, 1, 0), kBuiltIn1);

  TMatSource source;
  TTexTable& tex = source.Tex;
  materials.Sources = {&source};
  AddMatTex(tex, 7, "Hull_Tex", "Hull_Tex.tga");
  AddMatTex(tex, 7, "Second", "Second.tga");  // the first entry of an ID stays
  materials.StrMat = kDefaultStrMat;
  EXPECT_EQ(FormatMatLine(materials, 0, 7), kBuiltIn0);
  EXPECT_EQ(FormatMatLine(materials, 1, 99), kBuiltIn1);

  materials.StrMat = "MATERIAL5: %i; 38; %1:s";
  EXPECT_EQ(FormatMatLine(materials, 3, 7), "MATERIAL5: 3; 38; Hull_Tex");
  EXPECT_EQ(FormatMatLine(materials, 4, 11259375), "MATERIAL5: 4; 38; 00ABCDEF");
  ASSERT_EQ(tex.MatTexList.Count(), 1);
  EXPECT_EQ(tex.MatTexList[0].Key, "Hull_Tex.tga");
  // A texture name cannot break the line it stands in.
  AddMatTex(tex, 8, "a\r\nb\x7f\x80", "");
  EXPECT_EQ(FormatMatLine(materials, 5, 8), "MATERIAL5: 5; 38; a??b?\x80");

  // A template that cannot be applied gives the error line, never a failure.
  materials.StrMat = "%s; %d";
  EXPECT_EQ(FormatMatLine(materials, 0, 7), "//Error formatting materials string.");
  materials.StrMat = "%d %d";
  EXPECT_EQ(FormatMatLine(materials, 0, 7), "//Error formatting materials string.");
  materials.StrMat = "tail %";
  EXPECT_EQ(FormatMatLine(materials, 0, 7), "//Error formatting materials string.");
}

TEST(MatFile, TextureTableAndDump) {
  TMatRun m(SampleMatFile());
  ASSERT_TRUE(m.Mat.IsUtf);
  EXPECT_EQ(m.Console, "");
  const TMaterials& materials = m.Materials;
  ASSERT_EQ(m.Mat.Tex.MatTexList.Count(), 3);
  EXPECT_EQ(FormatMatLine(materials, 0, TestNameHash("Hull")), "M0 tex=Hull_Tex");
  EXPECT_EQ(FormatMatLine(materials, 1, TestNameHash("Deck")), "M1 tex=a.b\\c");
  EXPECT_EQ(FormatMatLine(materials, 2, TestNameHash("Dot")), "M2 tex=");
  EXPECT_EQ(FormatMatLine(materials, 3, TestNameHash("Empty")), "M3 tex=" + Hex("Empty"));

  const std::string expected =
      "== BEG TEXTURE FILE ==\r\n"
      "idx =    0 \"\\\";  DataSize = 0;  ChildIdx = 1;  Parent = 0\r\n"
      "idx =    1 \"material library\";  DataSize = 0;  ChildIdx = 2;  Parent = 0\r\n"
      "idx =    2 \"Hull\";  DataSize = 0;  ChildIdx = 3;  Parent = 1\r\n"
      "idx =    3 \"Dt_name\";  DataSize = 13;  ChildIdx = 0;  Parent = 2 Hull_Tex.tga\r\n"
      "idx =    4 \"Deck\";  DataSize = 0;  ChildIdx = 5;  Parent = 1\r\n"
      "idx =    5 \"dt_name\";  DataSize = 6;  ChildIdx = 0;  Parent = 4 a.b\\c\r\n"
      "idx =    6 \"Hull\";  DataSize = 0;  ChildIdx = 7;  Parent = 1\r\n"
      "idx =    7 \"dt_name\";  DataSize = 10;  ChildIdx = 0;  Parent = 6 Other.tga\r\n"
      "idx =    8 \"Empty\";  DataSize = 0;  ChildIdx = 9;  Parent = 1\r\n"
      "idx =    9 \"dt_name\";  DataSize = 0;  ChildIdx = 0;  Parent = 8\r\n"
      "idx =   10 \"Dot\";  DataSize = 0;  ChildIdx = 11;  Parent = 1\r\n"
      "idx =   11 \"DT_NAME\";  DataSize = 5;  ChildIdx = 0;  Parent = 10 .tga\r\n"
      "\r\n\r\n" +
      Hex("Hull") + "  Hull  \r\n" + Hex("Deck") + "  Deck  \r\n" + Hex("Hull") + "  Hull  \r\n" + "\r\n" +
      Hex("Dot") + "  Dot  \r\n" + "== END TEXTURE FILE ==\r\n\r\n";
  EXPECT_EQ(m.Dump(), expected);
}

TEST(MatFile, FilesThatAreNotUtfGiveHexIds) {
  const Bytes notUtf(100, 'x');
  const Bytes tooShort = {'U', 'T', 'F'};
  for (const Bytes& bytes : {Bytes{}, tooShort, notUtf}) {
    TMatRun m(bytes);
    EXPECT_FALSE(m.Mat.IsUtf);
    EXPECT_EQ(m.Console, "");
    EXPECT_EQ(m.Mat.Tex.MatTexList.Count(), 0);
    EXPECT_EQ(FormatMatLine(m.Materials, 2, 11259375), "M2 tex=00ABCDEF");
    EXPECT_EQ(m.Dump(), "");
  }
}
