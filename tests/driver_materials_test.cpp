// Where real models keep their materials: several material files, the
// model's own material library, and the texture images written beside the
// model from the texture libraries.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cmp_builder.h"
#include "image_builder.h"
#include "driver/driver.h"
#include "support/context.h"
#include "driver/run_state.h"
#include "support/text_helpers.h"
#include "test_support.h"
#include "version.h"

using namespace bwtest;

namespace {

using TFiles = std::vector<std::pair<std::string, Bytes>>;
const std::string kBanner = std::string(bw::kBanner) + "\n";
const std::string kDamage = "  Error! Unknown structure/format tables or file damage!\n";
const std::string kIni = std::string(kAllOnIni) + "StrMat=M%i %1:s\r\nModelMat=ON\r\nTextures=ON\r\n";

Bytes Text(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

// The console lines of block n of MaterialsModel() with `meshes` materials.
std::string Block(int n, int meshes) {
  const std::string size = std::to_string(16 + 54 * meshes);
  return "  " + std::to_string(n) + ": m.lod" + std::to_string(n) +
         ".vms\n  Data Size = " + std::string(6 - size.size(), ' ') + size +
         ";   Meshes = " + std::to_string(meshes) + "\n";
}

std::string Hex(const std::string& name) {
  return bw::DWordToHex(TestNameHash(name));
}

struct TResult {
  int Status = -1;
  std::string Console;
  std::string Materials;  // the material lines of the first model BOD file
  std::string Dbg;
};

// Writes the model and the companion files into `dir`, converts the model
// with the named ones, and reads back what the tests look at.
TResult Convert(const fs::path& dir, const Bytes& model, const TFiles& files,
                const std::vector<std::string>& mats) {
  const auto file = [&](const std::string& name) { return (dir / name).string(); };
  WriteFileBytes(file("m.cmp"), model);
  for (const auto& [name, bytes] : files) WriteFileBytes(file(name), bytes);
  std::vector<std::string> args = {file("m.cmp")};
  for (const std::string& name : mats) args.push_back(file(name));
  TResult r;
  r.Status = RunInProcess(dir, kIni, args, r.Console);
  if (fs::exists(file("m_00.bod"))) {
    const std::string bod = ReadFileText(file("m_00.bod"));
    const size_t start = bod.find("//\r\n\r\n") + 6;
    r.Materials = bod.substr(start, bod.find("\r\n\r\n", start) - start);
  }
  if (fs::exists(file("m.dbg"))) r.Dbg = ReadFileText(file("m.dbg"));
  return r;
}
TResult Convert(const TTempDir& dir, const Bytes& model, const TFiles& files,
                const std::vector<std::string>& mats) {
  return Convert(dir.Path(), model, files, mats);
}

}  // namespace

TEST(MaterialSources, NamedFilesInOrderThenTheModel) {
  const TFiles files = {{"one.mat", BuildUtf({MaterialLibrary({{"A", "a_one.tga"}})})},
                        {"two.mat", BuildUtf({MaterialLibrary({{"A", "a_two.tga"}, {"B", "b_two"}})})},
                        {"text.mat", Text("not a UTF file")}};
  const Bytes model = MaterialsModel({"A", "B", "C", "D"}, {MaterialLibrary({{"A", "a_model.tga"}, {"C", "c.model.tga"}})});
  const std::string rest = "\r\nM2 c.model\r\nM3 " + Hex("D");
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"one.mat", "text.mat", "two.mat", "./one.mat"}, "M0 a_one\r\nM1 b_two" + rest},
      {{"two.mat"}, "M0 a_two\r\nM1 b_two" + rest},
      {{}, "M0 a_model\r\nM1 " + Hex("B") + rest},
  };
  for (const auto& [mats, lines] : cases) {
    TTempDir dir;
    const TResult r = Convert(dir, model, files, mats);
    EXPECT_EQ(r.Status, 0) << r.Console;
    EXPECT_EQ(r.Materials, lines);
    if (mats.size() < 2) continue;
    // Each dump under its heading, the file named twice once, the file that
    // is no UTF file without one; the model's own names after its tree.
    const std::string dump1 = "== MATERIAL FILE " + dir.File("one.mat") + " ==\r\n== BEG TEXTURE FILE ==\r\n";
    const std::string end2 = "== MATERIAL FILE " + dir.File("two.mat") + " ==\r\n== BEG TEXTURE FILE ==\r\n";
    EXPECT_EQ(r.Dbg.rfind(dump1, 0), 0u);
    EXPECT_NE(r.Dbg.find("  B  \r\n== END TEXTURE FILE ==\r\n\r\n", r.Dbg.find(end2)), std::string::npos);
    const size_t model = r.Dbg.find("== BEG MODEL MATERIALS ==\r\n" + Hex("A") + "  A  \r\n" + Hex("C") +
                                    "  C  \r\n== END MODEL MATERIALS ==\r\n\r\n");
    ASSERT_NE(model, std::string::npos);
    EXPECT_LT(r.Dbg.rfind("idx = ", model), model);
    EXPECT_EQ(r.Dbg.find("idx = ", model), std::string::npos);
    EXPECT_EQ(r.Dbg.find("== MATERIAL FILE " + dir.File("text.mat")), std::string::npos);
    // ... and said on the console once, before the first block.
    EXPECT_EQ(r.Console.rfind("  Warning : material file " + dir.File("text.mat") +
                              " is not a UTF file; it names no material.\n"),
              kBanner.size());
  }

  // A damaged file among valid ones is named before the damage line.
  TTempDir dir;
  Bytes damaged = files[0].second;
  SetU32(damaged, kNodeBlockOffsetAt, 0x7FFFFFF0u);
  const TResult r =
      Convert(dir, model, {{"one.mat", files[0].second}, {"bad.mat", damaged}}, {"one.mat", "bad.mat"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Console,
            kBanner + "  Error : material file " + dir.File("bad.mat") + " is damaged.\n" + kDamage);
}

TEST(Textures, ImagesBesideTheModelOncePerRun) {
  const Bytes dds = Text("DDS |dds image");
  const Bytes tga = Text("tga image");
  const Bytes other = Text("DDS |another image");
  std::vector<std::string> materials = {"Hull", "Rail", "Deck", "Paint", "PaintToo", "Lost", "Blank"};
  std::vector<std::pair<std::string, std::string>> textures = {
      {"Hull", "Hull.tga"},    {"Rail", "HULL.TGA"},  // another material, the same image
      {"Deck", "deck_tex"},    {"Paint", "Paint.tga"},
      {"PaintToo", "PAINT.x"},  // another image, the same file name but for case
      {"Lost", "lost.tga"},    {"Blank", "x .tga"}};  // the file written ends in its extension
  std::vector<TNodeSpec> entries = {
      Folder("hull.tga", {Leaf("MIP0", tga), Leaf("MIPS", dds)}),
      Folder("Deck_Tex", {Leaf("MIPS", {}), Leaf("MIP0", tga)}), Folder("paint.tga", {Leaf("MIPS", dds)}),
      Folder("PAINT.x", {Leaf("MIPS", other)}), Folder("lost.tga", {Folder("MIPS", {})}),
      Folder("x .tga", {Leaf("MIPS", dds)})};
  // Names that would lead elsewhere or to no file, each with an image.
  std::string warnings;
  for (const std::string name : {"..\\up", "../up", "C:x", "con.x", "a\x01z", ""}) {
    materials.push_back("T" + std::to_string(materials.size()));
    textures.push_back({materials.back(), name + ".tga"});
    entries.push_back(Folder(name + ".tga", {Leaf("MIPS", dds)}));
    warnings += "  Warning : texture name " + (name == "a\x01z" ? "a?z" : name) + " is not a file name.\n";
  }
  const Bytes model =
      MaterialsModel(materials, {MaterialLibrary(textures), Folder("Texture library", entries),
                        Folder("Texture library", {Folder("HULL.TGA", {Leaf("MIPS", other)})})});
  // The model sits in a folder of its own, so that a file written beside
  // that folder would show.
  TTempDir outer;
  const fs::path dir = outer.Path() / "in";
  fs::create_directory(dir);
  const TResult r = Convert(dir, model, {}, {});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Console,
            kBanner + Block(0, 13) + "  Warning : texture lost not found.\n" + warnings + Block(1, 13));
  EXPECT_EQ(ReadFileBytes((dir / "Hull.dds").string()), dds);
  EXPECT_EQ(ReadFileBytes((dir / "deck_tex.tga").string()), tga);
  EXPECT_EQ(ReadFileBytes((dir / "Paint.dds").string()), dds);
  EXPECT_EQ(ReadFileBytes((dir / "x .dds").string()), dds);
  EXPECT_EQ(FolderListing(dir),
            "Hull.dds;Paint.dds;bodwright.ini;deck_tex.tga;m.cmp;m.dbg;m.log;m_00.bod;m_00_00.txt;m_01.bod;"
            "m_01_00.txt;x .dds;");
  EXPECT_EQ(FolderListing(outer.Path()), "in;");
}

TEST(Textures, GuardAndBound) {
  // An image that would replace a named material file ends the run.
  const Bytes mat = BuildUtf({MaterialLibrary({{"A", "skin.tga"}}),
                              Folder("Texture library", {Folder("skin.tga", {Leaf("MIPS", Text("DDS "))})})});
  TTempDir dir;
  TResult r = Convert(dir, MaterialsModel({"A"}), {{"skin.dds", mat}}, {"skin.dds"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Console, kBanner + Block(0, 1) + "  Error : output file " + dir.File("skin.dds") +
                           " would overwrite an input file.\n" + kDamage);
  EXPECT_EQ(ReadFileBytes(dir.File("skin.dds")), mat);

  // Two images of one data block larger than half of the input: the second
  // would pass the input's size, and after it no image is looked for (c's
  // would not be found).
  TNodeSpec shared = Leaf("MIPS", {});
  shared.DataSizeOverride = shared.UsedSizeOverride = 4000;
  Bytes model =
      MaterialsModel({"A", "B", "C"}, {MaterialLibrary({{"A", "a.tga"}, {"B", "b.tga"}, {"C", "c.tga"}}),
                              Folder("Texture library", {Folder("a.tga", {Leaf("MIPS", Bytes(4000, 'a'))}),
                                                         Folder("b.tga", {shared})})});
  std::vector<size_t> mips;  // the two MIPS entries; b's is to point at a's data
  const uint32_t names = GetU32(model, kStringBlockOffsetAt);
  for (size_t i = 0; i < GetU32(model, kNodeBlockSizeAt) / kEntrySize; ++i)
    if (std::string(reinterpret_cast<const char*>(&model[names + GetU32(model, EntryAt(i) + kNameAt)])) ==
        "MIPS")
      mips.push_back(i);
  ASSERT_EQ(mips.size(), 2u);
  SetU32(model, EntryAt(mips[1]) + kChildOrDataAt, GetU32(model, EntryAt(mips[0]) + kChildOrDataAt));
  TTempDir dir2;
  r = Convert(dir2, model, {}, {});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Console, kBanner + Block(0, 3) +
                           "  Warning : texture b not written: the images exceed the input size.\n" +
                           Block(1, 3));
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
  WriteFileBytes(dir.File("m.cmp"), MaterialsModel({"A"}));
  WriteFileBytes(dir.File("m.mat"), BuildUtfRaw(nodes));
  WriteFileText(dir.File("bodwright.ini"), kIni);
  for (const uint64_t limit : {uint64_t{50000}, bw::kWorkLimit}) {
    std::string console;
    bw::TContext run;
    run.Console.Capture = &console;
    run.Work.Limit = limit;
    const bool bounded = limit < bw::kWorkLimit;
    EXPECT_EQ(bw::RunProgram(run, dir.File("bodwright"), {dir.File("m.cmp"), dir.File("m.mat")}),
              bounded ? 1 : 0);
    EXPECT_EQ(console, kBanner + Block(0, 1) +
                           (bounded ? kDamage : "  Warning : texture x not found.\n" + Block(1, 1)));
  }
}

TEST(Textures, PictureInTheTexturesColoursWithASwatchEach) {
  // Two texels whose mean is (11, 21, 31), stored blue first.
  TTgaImage tga;
  tga.Width = 2;
  tga.Pixels = {30, 20, 10, 32, 22, 12};
  const Bytes model = MaterialsModel(
      {"A", "B", "C", "D"},
      {MaterialLibrary({{"A", "hull.tga"}, {"B", "lost.tga"}, {"D", "odd.tga"}}),
       Folder("Texture library", {Folder("hull.tga", {Leaf("MIP0", BuildTga(tga))}),
                                  Folder("odd.tga", {Leaf("MIP0", Text("not an image"))})})});
  TTempDir dir;
  WriteFileBytes(dir.File("m.cmp"), model);
  std::string console;
  ASSERT_EQ(RunInProcess(dir.Path(), kIni + "Preview=.svg, ON\r\n", {dir.File("m.cmp")}, console), 0) << console;
  const std::string svg = ReadFileText(dir.File("m_00.svg"));
  // The found texture's colour fills its swatch (and its triangles, which
  // this model draws edge-on); the others keep the palette's colours and
  // say why.
  for (const std::string& part :
       {std::string(">0 hull</text>"), std::string(">1 lost: no image</text>"),
        ">2 no texture name " + Hex("C") + "</text>", std::string(">3 odd: image not read</text>"),
        std::string("fill=\"#0b151f\"/>"), std::string("fill=\"#f28e2b\"/>"), std::string("fill=\"#e15759\"/>")})
    EXPECT_NE(svg.find(part), std::string::npos) << part;
}
