// Where real models keep their materials: several material files, the
// model's own material library, and the texture images written beside the
// model from the files' texture libraries.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cmp_builder.h"
#include "driver/driver.h"
#include "driver/run_state.h"
#include "support/text_helpers.h"
#include "test_support.h"
#include "version.h"

using namespace bwtest;

namespace {

const std::string kBanner = std::string(bw::kBanner) + "\n";
const std::string kDamage = "  Error! Unknown structure/format tables or file damage!\n";
const std::string kIni = std::string(kAllOnIni) + "StrMat=M%i %1:s\r\nModelMat=ON\r\nTextures=ON\r\n";

// Two blocks, each with one triangle per material, in the order given.
Bytes Model(const std::vector<std::string>& materials, std::vector<TNodeSpec> extra = {}) {
  TBlockSpec block;
  block.VertexSize = 12;
  for (size_t i = 0; i < materials.size(); ++i) {
    const auto first = static_cast<uint16_t>(3 * i);
    block.Meshes.push_back({TestNameHash(materials[i]), first, static_cast<uint16_t>(first + 2), 3});
    block.Triangles.push_back({0, 1, 2});
    for (int k = 0; k < 3; ++k) {
      const Bytes v = VertexRecord(12, float(k), float(i), 0, 0, 0);
      block.Vertices.insert(block.Vertices.end(), v.begin(), v.end());
    }
  }
  const Bytes data = BuildMeshBlock(block);
  extra.push_back(Folder("VMeshLibrary", {Folder("m.lod0.vms", {Leaf("VMeshData", data)}),
                                          Folder("m.lod1.vms", {Leaf("VMeshData", data)})}));
  return BuildUtf(extra);
}

// A material library naming the texture of each material.
TNodeSpec Library(const std::vector<std::pair<std::string, std::string>>& textures) {
  std::vector<TNodeSpec> materials;
  for (const auto& [material, texture] : textures)
    materials.push_back(Folder(material, {TextLeaf("Dt_name", texture)}));
  return Folder("Material library", materials);
}

Bytes Text(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

struct TRunResult {
  int Status = -1;
  std::string Console;
  std::string Bod;  // the first block's model BOD file
  std::string Dbg;
};

// Writes the model and the named companion files into `dir` and converts.
TRunResult Convert(const TTempDir& dir, const Bytes& model,
                   const std::vector<std::pair<std::string, Bytes>>& mats,
                   const std::vector<std::string>& matArgs, const std::string& ini = kIni) {
  WriteFileBytes(dir.File("m.cmp"), model);
  for (const auto& [name, bytes] : mats) WriteFileBytes(dir.File(name), bytes);
  std::vector<std::string> args = {dir.File("m.cmp")};
  for (const std::string& name : matArgs) args.push_back(dir.File(name));
  TRunResult r;
  r.Status = RunInProcess(dir.Path(), ini, args, r.Console);
  if (fs::exists(dir.File("m_00.bod"))) r.Bod = ReadFileText(dir.File("m_00.bod"));
  if (fs::exists(dir.File("m.dbg"))) r.Dbg = ReadFileText(dir.File("m.dbg"));
  return r;
}

std::string MaterialLines(const std::string& bod) {
  const size_t start = bod.find("//\r\n\r\n") + 6;
  return bod.substr(start, bod.find("\r\n\r\n", start) - start);
}

std::string Hex(const std::string& name) {
  return bw::DWordToHex(TestNameHash(name));
}

}  // namespace

TEST(MaterialSources, NamedFilesInOrderThenTheModel) {
  const Bytes one = BuildUtf({Library({{"A", "a_one.tga"}})});
  const Bytes two = BuildUtf({Library({{"A", "a_two.tga"}, {"B", "b_two"}})});
  const Bytes model = Model({"A", "B", "C", "D"}, {Library({{"A", "a_model.tga"}, {"C", "c.model.tga"}})});
  struct TCase {
    std::vector<std::string> Args;
    std::string Lines;
  } cases[] = {
      {{"one.mat", "two.mat", "./one.mat"}, "M0 a_one\r\nM1 b_two\r\nM2 c.model\r\nM3 " + Hex("D")},
      {{"two.mat"}, "M0 a_two\r\nM1 b_two\r\nM2 c.model\r\nM3 " + Hex("D")},
      {{}, "M0 a_model\r\nM1 " + Hex("B") + "\r\nM2 c.model\r\nM3 " + Hex("D")},
  };
  for (const TCase& c : cases) {
    TTempDir dir;
    const TRunResult r = Convert(dir, model, {{"one.mat", one}, {"two.mat", two}}, c.Args);
    EXPECT_EQ(r.Status, 0) << r.Console;
    EXPECT_EQ(MaterialLines(r.Bod), c.Lines);
  }

  // The dumps: each named file's under its heading (the one named twice
  // counts once), then the model's own names after its tree.
  TTempDir dir;
  const TRunResult r = Convert(dir, model, {{"one.mat", one}, {"two.mat", two}}, cases[0].Args);
  const size_t second = r.Dbg.find("== MATERIAL FILE " + dir.File("two.mat") + " ==\r\n== BEG TEXTURE FILE");
  EXPECT_EQ(r.Dbg.rfind("== MATERIAL FILE " + dir.File("one.mat") + " ==\r\n== BEG TEXTURE FILE", 0), 0u);
  ASSERT_NE(second, std::string::npos);
  EXPECT_EQ(r.Dbg.find("== MATERIAL FILE ", second + 1), std::string::npos);
  EXPECT_NE(
      r.Dbg.find("\r\n\r\n" + Hex("A") + "  A  \r\n" + Hex("B") + "  B  \r\n== END TEXTURE FILE ==\r\n\r\n"),
      std::string::npos);
  const std::string modelDump = "== BEG MODEL MATERIALS ==\r\n" + Hex("A") + "  A  \r\n" + Hex("C") +
                                "  C  \r\n== END MODEL MATERIALS ==\r\n\r\n";
  const size_t at = r.Dbg.find(modelDump);
  ASSERT_NE(at, std::string::npos);
  EXPECT_LT(r.Dbg.rfind("idx = ", at), at);
  EXPECT_EQ(r.Dbg.find("idx = ", at), std::string::npos);  // before the first block, after every listing
}

TEST(MaterialSources, FilesThatNameNothingAndDamagedFiles) {
  const Bytes model = Model({"A"});
  Bytes damaged = BuildUtf({Library({{"A", "a_bad.tga"}})});
  SetU32(damaged, kNodeBlockOffsetAt, 0x7FFFFFF0u);
  const Bytes good = BuildUtf({Library({{"A", "a_good.tga"}})});
  TTempDir dir;
  TRunResult r =
      Convert(dir, model, {{"text.mat", Text("not UTF")}, {"good.mat", good}, {"bad.mat", damaged}},
              {"text.mat", "good.mat"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(MaterialLines(r.Bod), "M0 a_good");
  EXPECT_EQ(r.Dbg.find("== MATERIAL FILE " + dir.File("text.mat")), std::string::npos);

  r = Convert(dir, model, {}, {"good.mat", "bad.mat", "text.mat"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Console,
            kBanner + "  Error : material file " + dir.File("bad.mat") + " is damaged.\n" + kDamage);
}

TEST(Textures, ImagesBesideTheModelOncePerRun) {
  const Bytes dds = Text("DDS |dds image");
  const Bytes tga = Text("tga image");
  const Bytes other = Text("DDS |from the second library");
  const Bytes model = Model(
      {"Hull", "Rail", "Deck", "Paint", "PaintToo", "Lost"},
      {Library({{"Hull", "Hull.tga"},
                {"Rail", "HULL.TGA"},  // another material, the same image
                {"Deck", "deck_tex"},
                {"Paint", "Paint.tga"},
                {"PaintToo", "PAINT.x"},  // another image, but the same file name but for case
                {"Lost", "lost.tga"}}),
       Folder("Texture library",
              {Folder("hull.tga", {Leaf("MIP0", tga), Leaf("MIPS", dds)}),
               Folder("Deck_Tex", {Leaf("MIPS", {}), Leaf("MIP0", tga)}),  // an empty MIPS does not count
               Folder("paint.tga", {Leaf("MIPS", dds)}), Folder("PAINT.x", {Leaf("MIPS", other)}),
               Folder("lost.tga", {Folder("MIPS", {})})}),
       Folder("Texture library", {Folder("HULL.TGA", {Leaf("MIPS", other)})})});
  TTempDir dir;
  const TRunResult r = Convert(dir, model, {}, {});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Console.substr(r.Console.find(kBanner) + kBanner.size()),
            "  0: m.lod0.vms\n  Data Size =    340;   Meshes = 6\n  Warning : texture lost not found.\n"
            "  1: m.lod1.vms\n  Data Size =    340;   Meshes = 6\n");
  EXPECT_EQ(ReadFileBytes(dir.File("Hull.dds")), dds);
  EXPECT_EQ(ReadFileBytes(dir.File("deck_tex.tga")), tga);
  EXPECT_EQ(ReadFileBytes(dir.File("Paint.dds")), dds);
  EXPECT_EQ(FolderListing(dir.Path()),
            "Hull.dds;Paint.dds;bodwright.ini;deck_tex.tga;m.cmp;m.dbg;m.log;m_00.bod;m_00_00.txt;m_01.bod;"
            "m_01_00.txt;");
}

TEST(Textures, NamesThatAreNoPlainFileNameWriteNothing) {
  const std::vector<std::string> names = {"..\\up",  "../up",  "C:x",    "con", "Lpt1.note", "COM\xC2\xB2.x",
                                          "LPT\xB9", "blank ", "a\x01z", "",    "trail.",    "star*"};
  std::vector<std::pair<std::string, std::string>> textures;
  std::vector<TNodeSpec> entries;
  std::vector<std::string> materials;
  for (size_t i = 0; i < names.size(); ++i) {
    materials.push_back("T" + std::to_string(i));
    textures.push_back({materials.back(), names[i] + ".tga"});
    entries.push_back(Folder(names[i] + ".tga", {Leaf("MIPS", Text("DDS image"))}));
  }
  TTempDir outer;
  fs::create_directory(outer.Path() / "in");
  const Bytes model = Model(materials, {Library(textures), Folder("Texture library", entries)});
  WriteFileBytes((outer.Path() / "in" / "m.cmp").string(), model);
  std::string console;
  EXPECT_EQ(RunInProcess(outer.Path(), kIni, {(outer.Path() / "in" / "m.cmp").string()}, console), 0);
  std::string warnings;
  for (std::string name : names) {
    std::replace(name.begin(), name.end(), '\x01', '?');
    warnings += "  Warning : texture name " + name + " is not a file name.\n";
  }
  EXPECT_NE(console.find("Meshes = 12\n" + warnings + "  1: "), std::string::npos) << console;
  EXPECT_EQ(FolderListing(outer.Path()), "bodwright.ini;in;");
  EXPECT_EQ(FolderListing(outer.Path() / "in"),
            "m.cmp;m.dbg;m.log;m_00.bod;m_00_00.txt;m_01.bod;m_01_00.txt;");
}

TEST(Textures, GuardAndBound) {
  // An image that would replace a named material file ends the run.
  const Bytes image = Text("DDS image");
  const Bytes mat = BuildUtf(
      {Library({{"A", "skin.tga"}}), Folder("Texture library", {Folder("skin.tga", {Leaf("MIPS", image)})})});
  TTempDir dir;
  TRunResult r = Convert(dir, Model({"A"}), {{"skin.dds", mat}}, {"skin.dds"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Console.find("Meshes = 1\n  Error : output file " + dir.File("skin.dds") +
                           " would overwrite an input file.\n" + kDamage),
            std::string::npos)
      << r.Console;
  EXPECT_EQ(ReadFileBytes(dir.File("skin.dds")), mat);

  // Two images of one data block larger than half of the input: the second
  // would pass the input's size, and after it no image is looked for.
  TNodeSpec shared = Leaf("MIPS", {});
  shared.DataSizeOverride = shared.UsedSizeOverride = 4000;
  Bytes model =
      Model({"A", "B", "C"}, {Library({{"A", "a.tga"}, {"B", "b.tga"}, {"C", "c.tga"}}),
                              Folder("Texture library", {Folder("a.tga", {Leaf("MIPS", Bytes(4000, 'a'))}),
                                                         Folder("b.tga", {shared})})});
  std::vector<size_t> mips;  // the entries named MIPS, in node order
  const uint32_t strings = GetU32(model, kStringBlockOffsetAt);
  for (size_t i = 0; i < GetU32(model, kNodeBlockSizeAt) / kEntrySize; ++i)
    if (std::string(reinterpret_cast<const char*>(&model[strings + GetU32(model, EntryAt(i) + kNameAt)])) ==
        "MIPS")
      mips.push_back(i);
  ASSERT_EQ(mips.size(), 2u);
  SetU32(model, EntryAt(mips[1]) + kChildOrDataAt, GetU32(model, EntryAt(mips[0]) + kChildOrDataAt));
  ASSERT_LT(model.size(), 8000u);
  TTempDir dir2;
  r = Convert(dir2, model, {}, {});
  EXPECT_EQ(r.Status, 0);
  EXPECT_NE(r.Console.find(
                "Meshes = 3\n  Warning : texture b not written: the images exceed the input size.\n  1: "),
            std::string::npos)
      << r.Console;
  EXPECT_EQ(ReadFileBytes(dir2.File("a.tga")), Bytes(4000, 'a'));
  EXPECT_FALSE(fs::exists(dir2.File("b.tga")));
}

TEST(Textures, LibrariesSharingOneLongChainEndThroughTheWorkBound) {
  // n libraries whose child chains all run through the same n entries, and
  // a material whose texture none of them holds.
  const int n = 300;
  std::vector<TRawNode> nodes = {{"\\", true, 1, 0, {}}};
  for (int i = 1; i <= n; ++i)
    nodes.push_back({"Texture library", true, n + 1, i < n ? i + 1 : 2 * n + 1, {}});
  for (int i = 1; i <= n; ++i) nodes.push_back({"e" + std::to_string(i), true, 0, i < n ? n + i + 1 : 0, {}});
  nodes.push_back({"Material library", true, 2 * n + 2, 0, {}});
  nodes.push_back({"A", true, 2 * n + 3, 0, {}});
  nodes.push_back({"dt_name", false, 0, 0, Text(std::string("x.tga") + '\0')});
  TTempDir dir;
  WriteFileBytes(dir.File("m.cmp"), Model({"A"}));
  WriteFileBytes(dir.File("m.mat"), BuildUtfRaw(nodes));
  WriteFileText(dir.File("bodwright.ini"), kIni);
  for (const uint64_t limit : {uint64_t{50000}, bw::kWorkLimit}) {
    std::string console;
    bw::TRun run;
    run.Ctx.Console.Capture = &console;
    run.Ctx.Work.Limit = limit;
    const int status = bw::RunProgram(run, dir.File("bodwright"), {dir.File("m.cmp"), dir.File("m.mat")});
    const bool bounded = limit < bw::kWorkLimit;
    EXPECT_EQ(status, bounded ? 1 : 0);
    EXPECT_NE(console.find("Meshes = 1\n" + (bounded ? kDamage : "  Warning : texture x not found.\n  1: ")),
              std::string::npos)
        << console;
  }
}
