#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "output/bod_writer.h"
#include "output/body_generation.h"
#include "support/buf_stream.h"
#include "support/context.h"
#include "support/errors.h"
#include "test_support.h"
#include "version.h"

using namespace bw;
using namespace bwtest;

namespace {

const std::string kMat0 =
    "MATERIAL5: 0; 38; 200;200;200; 255;255;255; 229;229;229; 0;0;200;20; 0;0;0; 100; 0;0;0;0;0;0;\r\n";
const std::string kMat1 =
    "MATERIAL5: 1; 38; 200;200;200; 255;255;255; 229;229;229; 0;0;200;20; 0;0;0; 100; 0;0;0;0;0;0;\r\n";
const std::string kEndCoords = "-1;  -1;   -1; / marks end of coords for body\r\n\r\n";
const std::string kSeparator = "-99; 00000000000000000001;\r\n";
const std::string kEndBody = "-99; 00000000000000000001;\r\n-99; 0000000000000000; /Mark end of body\r\n";

// The writers' settings with outputs going to a scratch folder as ship_*,
// and the lists they write.
struct TWriterRun {
  TTempDir Dir;
  TFileSet Inputs;
  TBodOutput Out;
  TContext Ctx;
  TBodyLists Model;
  TBodyLists Part;
  TMatSource Source;
  std::unique_ptr<TBufStream> Log;
  TWriterRun() {
    Out.InpFileName = Dir.File("ship.cmp");
    Out.BodBaseName = Dir.File("ship");
    Out.BodExt = ".bod";
    Out.MeshExt = ".txt";
    Out.Banner = kBanner;
    Out.DateText = "2024-05-06 07:08:09";
    WriteFileText(Out.InpFileName, "not read here");
    Inputs.Add(Out.InpFileName);
    Out.Guard.Inputs = &Inputs;
  }
  void OpenLog() {
    Log = std::make_unique<TBufStream>(Dir.File("ship.log"), ModeCreate, kBufSize);
    Ctx.LogStream = Log.get();
  }
  void CloseLog() {
    Ctx.LogStream = nullptr;
    Log.reset();
  }
  std::string Text(const std::string& name) const { return ReadFileText(Dir.File(name)); }
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(Dir.Path())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

void AddVertex(TVertList& list, float x, float y, float z) {
  list.Add({x, y, z, 0, 0, 0});
}

TTriRec Tri(uint16_t a, uint16_t b, uint16_t c, int32_t mat, int32_t seq, std::array<float, 6> uv) {
  return {a, b, c, uv[0], uv[1], uv[2], uv[3], uv[4], uv[5], mat, seq};
}

// The lines of a model BOD file before its material lines.
std::string Head(const TWriterRun& w, const std::string& lod) {
  return std::string("// ") + kBanner + "\r\n// Generated from " + w.Out.InpFileName + ", LOD = " + lod +
         "\r\n// 2024-05-06 07:08:09\r\n//\r\n\r\n";
}

// The line of `text` that starts with `start`.
std::string LineStarting(const std::string& text, const std::string& start) {
  const size_t at = text.find("\n" + start);
  return at == std::string::npos ? "" : text.substr(at + 1, text.find('\n', at + 1) - at);
}

std::string Polygon(int n, int mat = 0) {
  return std::to_string(mat) +
         "; 0; 1; 2; -25; 1; 0.000000;0.000000; 0.000000;0.000000; 0.000000;0.000000; / (" +
         std::to_string(n) + ") Flags 0x0\r\n";
}

}  // namespace

TEST(WriteBodFile, WholeModelFile) {
  TWriterRun w;
  w.Model.MatrList.AddUnique(0x11);
  w.Model.MatrList.AddUnique(0x22);
  AddVertex(w.Model.VertList, 0.0625f, 0.1875f, -0.0625f);
  AddVertex(w.Model.VertList, 1, 2, 3);
  AddVertex(w.Model.VertList, -0.5f, 0, 0.001f);
  w.Model.TriList.Add(Tri(0, 1, 2, 0, 0, {0, 1, 0.5f, 0.25f, 1, 0}));
  w.Model.TriList.Add(Tri(2, 1, 0, 1, 1, {-0.25f, 123.456789f, -0.0000006f, -0.0000004f, 2, 0.1f}));
  WriteBodFile(w.Model, 0, "level0", w.Out);

  const std::string expected =
      std::string("// ") + kBanner + "\r\n" + "// Generated from " + w.Out.InpFileName +
      ", LOD = level0\r\n"
      "// 2024-05-06 07:08:09\r\n"
      "//\r\n"
      "\r\n" +
      kMat0 + kMat1 +
      "\r\n"
      "10000; / Automatic Object Size\r\n"
      "\r\n"
      "62; 188; -62; / 0\r\n"
      "1000; 2000; 3000; / 1\r\n"
      "-500; 0; 1; / 2\r\n"
      "-1;  -1;   -1; / marks end of coords for body\r\n"
      "\r\n"
      "0; 0; 1; 2; -25; 1; 0.000000;1.000000; 0.500000;0.250000; 1.000000;0.000000; / (0) Flags 0x0\r\n"
      "-99; 00000000000000000001;\r\n"
      "1; 2; 1; 0; -25; 1; -0.250000;123.456790; -0.000001;0.000000; 2.000000;0.100000; / (1) Flags 0x0\r\n"
      "-99; 00000000000000000001;\r\n"
      "-99; 0000000000000000; /Mark end of body\r\n";
  EXPECT_EQ(w.Text("ship_00.bod"), expected);
}

TEST(WriteBodFile, SeparatorsAndNames) {
  TWriterRun w;
  w.Out.BodExt = ".b";
  w.Out.ScaleFactor = {1.0f, -1000.0f, 1.0f};
  AddVertex(w.Model.VertList, 2.5f, 0.5f, 3.5f);
  for (int32_t seq : {0, 0, 1, 1, 3}) w.Model.TriList.Add(Tri(0, 1, 2, 0, seq, {}));
  WriteBodFile(w.Model, 5, "lod", w.Out);
  const std::string head =
      Head(w, "lod") + "\r\n10000; / Automatic Object Size\r\n\r\n2; -500; 4; / 0\r\n" + kEndCoords;
  EXPECT_EQ(w.Text("ship_05.b"), head + Polygon(0) + Polygon(1) + kSeparator + Polygon(2) + Polygon(3) +
                                     kSeparator + Polygon(4) + kEndBody);

  w.Model.TriList.FreeAll();
  for (int32_t seq : {2, 2}) w.Model.TriList.Add(Tri(0, 1, 2, 0, seq, {}));
  WriteBodFile(w.Model, 100, "lod", w.Out);
  EXPECT_EQ(w.Text("ship_100.b"), head + kSeparator + Polygon(0) + Polygon(1) + kEndBody);
  EXPECT_EQ(w.Files(), (std::vector<std::string>{"ship.cmp", "ship_05.b", "ship_100.b"}));
}

TEST(WriteGroupFile, WholeGroupFileAndLogLine) {
  for (const bool originOn : {true, false}) {
    TWriterRun w;
    w.Out.OriginOn = originOn;
    w.Out.ScaleFactor = {1000.0f, 1000.0f, -1000.0f};
    w.OpenLog();
    // Material lines come from the user's template when a material file names textures.
    AddMatTex(w.Source.Tex, 0x22, "Deck_Tex", "Deck_Tex.tga");
    w.Out.Materials.Sources = {&w.Source};
    w.Out.Materials.StrMat = "MATERIAL5: %i; %1:s;";
    w.Part.MatrList.AddUnique(0x22);
    w.Part.MatrList.AddUnique(0xABCDEF);
    AddVertex(w.Part.VertList, 0, 0, 0);
    AddVertex(w.Part.VertList, 0.001f, 0.002f, 0.003f);
    AddVertex(w.Part.VertList, 1, 1, 1);
    w.Part.TriList.Add(Tri(0, 1, 2, 0, 0, {0.5f, 0.5f, 1, 1, 0, 0}));
    w.Part.TriList.Add(Tri(2, 1, 0, 1, 4, {}));  // no separators in a group file
    TMeshGroup group;
    group.X = 0.5f;
    group.Y = -1;
    group.Z = 0.0625f;
    WriteGroupFile(w.Part, 3, 12, group, w.Out, w.Ctx);
    w.CloseLog();

    const std::string groupText =
        "Group:03_12 file:" + w.Out.BodBaseName + "_03_12.txt; pos = (500, -1000, -62);\r\n";
    const std::string expected =
        "//" + groupText +
        (originOn ? "//Origin = (500, -1000, -62);\r\n\r\n" : "//Origin = (0, 0, 0);\r\n\r\n") +
        "MATERIAL5: 0; Deck_Tex;\r\n"
        "MATERIAL5: 1; 00ABCDEF;\r\n"
        "\r\n"
        "10000; / Automatic Object Size\r\n"
        "\r\n"
        "0; 0; 0; / 0\r\n"
        "1; 2; -3; / 1\r\n"
        "1000; 1000; -1000; / 2\r\n" +
        kEndCoords +
        "0; 0; 1; 2; -25; 1; 0.500000;0.500000; 1.000000;1.000000; 0.000000;0.000000; / (0) Flags 0x0\r\n"
        "1; 2; 1; 0; -25; 1; 0.000000;0.000000; 0.000000;0.000000; 0.000000;0.000000; / (1) Flags 0x0\r\n" +
        kEndBody;
    EXPECT_EQ(w.Text("ship_03_12.txt"), expected);
    EXPECT_EQ(w.Text("ship.log"), groupText);
  }
}

TEST(BodOutput, FailureLeavesNoPartialFile) {
  TWriterRun w;
  w.OpenLog();
  WriteFileText(w.Dir.File("ship_00.bod"), "earlier model");
  WriteFileText(w.Dir.File("ship_00_00.txt"), "earlier group");
  // Enough lines before the bad vertex to fill the stream's buffer more than once.
  for (int i = 0; i < 1000; ++i) AddVertex(w.Model.VertList, static_cast<float>(i), 0, 0);
  AddVertex(w.Model.VertList, std::numeric_limits<float>::quiet_NaN(), 0, 0);
  EXPECT_THROW(WriteBodFile(w.Model, 0, "lod", w.Out), EInvalidOp);

  for (int i = 0; i < 1000; ++i) AddVertex(w.Part.VertList, static_cast<float>(i), 0, 0);
  AddVertex(w.Part.VertList, 0, std::numeric_limits<float>::infinity(), 0);
  EXPECT_THROW(WriteGroupFile(w.Part, 0, 0, TMeshGroup{}, w.Out, w.Ctx), EInvalidOp);
  w.CloseLog();

  EXPECT_EQ(w.Text("ship_00.bod"), "earlier model");
  EXPECT_EQ(w.Text("ship_00_00.txt"), "earlier group");
  EXPECT_EQ(w.Text("ship.log"), "");  // no line for a file that was not written
  EXPECT_EQ(w.Files(), (std::vector<std::string>{"ship.cmp", "ship.log", "ship_00.bod", "ship_00_00.txt"}));
}

TEST(BodOutput, NanTextureCoordinatesFromVertexRecords) {
  TWriterRun w;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  TMeshData block;
  AddMesh(block.MeshList, 0x22, 0, 2, 3, 0, 0, 0);
  AddVert(block.VertList, 0, 0, 0, nan, 0.5f);
  AddVert(block.VertList, 1, 0, 0, 1, nan);
  AddVert(block.VertList, 0, 1, 0, 0.25f, 1);
  AddTri(block.TriList, 0, 1, 2);
  TMeshGroups groups;
  TMeshGroup group;
  group.BegMesh = 0;
  group.MeshCnt = 1;
  groups.AddGroup(group);
  GenerateBodies(block, groups, false, w.Model, w.Ctx,
                 [&](int32_t g, const TMeshGroup& placed, const TBodyLists& part) {
                   WriteGroupFile(part, 0, g, placed, w.Out, w.Ctx);
                 });
  WriteBodFile(w.Model, 0, "lod", w.Out);

  // The corners' NaN texture coordinates become 0.000000.
  const std::string polygon =
      "0; 0; 1; 2; -25; 1; 0.000000;0.500000; 1.000000;0.000000; 0.250000;1.000000; / (0) Flags 0x0\r\n";
  EXPECT_EQ(LineStarting(w.Text("ship_00.bod"), "0; 0; 1; 2;"), polygon);
  EXPECT_EQ(LineStarting(w.Text("ship_00_00.txt"), "0; 0; 1; 2;"), polygon);
}
