// Whole conversions of files built to hurt: counts, sizes and offsets that
// claim far more than the file holds, chains that loop, tables and records of
// no known size, coordinates that are no numbers, and companion files that
// are not what they should be. Each must end quickly with the program's
// fixed outcome.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <set>

#include "cmp_builder.h"
#include "driver/driver.h"
#include "support/context.h"
#include "driver/run_state.h"
#include "parts_builder.h"
#include "test_support.h"
#include "version.h"

using namespace bwtest;

namespace {

const std::string kBanner = std::string(bw::kBanner) + "\n";
const std::string kDamage = "  Error! Unknown structure/format tables or file damage!\n";

struct TOutcome {
  int Status = -1;
  std::string Console;
  std::set<std::string> Files;  // what the run left beside the model
};

// Converts `model` (and the material file when given) in a folder of its
// own with every output on, under the given work limit.
TOutcome Convert(const Bytes& model, const Bytes* mat = nullptr, const std::string& ini = kAllOnIni,
                 uint64_t workLimit = bw::kWorkLimit) {
  TTempDir dir;
  WriteFileBytes(dir.File("m.cmp"), model);
  std::vector<std::string> args = {dir.File("m.cmp")};
  if (mat) {
    WriteFileBytes(dir.File("m.mat"), *mat);
    args.push_back(dir.File("m.mat"));
  }
  WriteFileText(dir.File("bodwright.ini"), ini);
  TOutcome out;
  {
    bw::TContext run;
    run.Console.Capture = &out.Console;
    run.Work.Limit = workLimit;
    out.Status = bw::RunProgram(run, dir.File("bodwright"), args);
  }
  for (const auto& entry : fs::directory_iterator(dir.Path())) {
    const std::string name = entry.path().filename().string();
    if (name != "m.cmp" && name != "m.mat" && name != "bodwright.ini") out.Files.insert(name);
  }
  return out;
}

// A block of `triangles` triangles over vertices of the 12-byte layout, all
// in one mesh; vertex k of triangle j is 3j + k, at (k, j, 0) shifted by
// `shift` in x.
Bytes TriangleBlock(uint16_t triangles, float shift = 0) {
  TBlockSpec block;
  const auto vertices = static_cast<uint16_t>(3 * triangles);
  block.Meshes = {{0x1234, 0, static_cast<uint16_t>(vertices - 1), vertices}};
  for (uint16_t j = 0; j < triangles; ++j) {
    const auto base = static_cast<uint16_t>(3 * j);
    block.Triangles.push_back({base, static_cast<uint16_t>(base + 1), static_cast<uint16_t>(base + 2)});
    for (int k = 0; k < 3; ++k) {
      const Bytes v = VertexRecord(12, float(k) + shift, float(j), 0, 0, 0);
      block.Vertices.insert(block.Vertices.end(), v.begin(), v.end());
    }
  }
  block.VertexSize = 12;
  return BuildMeshBlock(block);
}

std::vector<TNodeSpec> PlainModel(const Bytes& block) {
  return {Folder("VMeshLibrary", {Folder("m.lod0.vms", {Leaf("VMeshData", block)})})};
}

const std::set<std::string> kLogAndDbg = {"m.dbg", "m.log"};

std::string BlockLine(size_t dataSize, int meshes) {
  const std::string size = std::to_string(dataSize);
  return "  Data Size = " + std::string(size.size() < 6 ? 6 - size.size() : 0, ' ') + size +
         ";   Meshes = " + std::to_string(meshes) + "\n";
}

}  // namespace

TEST(HostileTree, CountsSizesAndOffsetsBeyondTheFileAreDamage) {
  const Bytes good = BuildUtf(PlainModel(TriangleBlock(1)));
  const TOutcome normal = Convert(good);
  ASSERT_EQ(normal.Status, 0) << normal.Console;

  auto damaged = [&](size_t at, uint32_t value) {
    Bytes image = good;
    SetU32(image, at, value);
    return Convert(image);
  };
  // Entry 3 is the mesh data leaf.
  const size_t leaf = EntryAt(3);
  const TOutcome millions = damaged(kNodeBlockSizeAt, 44u * 5'000'000u);
  const TOutcome usedSize = damaged(leaf + kUsedSizeAt, 0x80000000u);
  const TOutcome dataOffsetSum = damaged(kDataBlockOffsetAt, 0xFFFFFFF0u);
  const TOutcome nameOffsetSum = damaged(leaf + kNameAt, 0xFFFFFFFFu);
  const TOutcome nodeOffsetSum = damaged(kNodeBlockOffsetAt, 0xFFFFFFFFu - 43);
  for (const TOutcome* out : {&millions, &usedSize, &dataOffsetSum, &nameOffsetSum, &nodeOffsetSum}) {
    EXPECT_EQ(out->Status, 1);
    EXPECT_EQ(out->Console, kBanner + kDamage);
    EXPECT_EQ(out->Files, kLogAndDbg);
  }

  // A reserved size of gigabytes is only a claim: nothing of that size is
  // made, and the block's layout, taken from that size, is unknown.
  const TOutcome dataSize = damaged(leaf + kDataSizeAt, 0xFFFFFFF0u);
  EXPECT_EQ(dataSize.Status, 1);
  EXPECT_EQ(dataSize.Console,
            kBanner + "  0: m.lod0.vms\n  Error: unknown structure/format tables!\n" + kDamage);
  EXPECT_EQ(dataSize.Files, kLogAndDbg);
}

TEST(HostileTree, LoopingSiblingChainStillConverts) {
  const Bytes block = TriangleBlock(1);
  // Root -> VMeshLibrary -> m.lod0.vms -> VMeshData; the library's sibling
  // chain runs through Other and back to the library.
  std::vector<TRawNode> entries(5);
  entries[0] = {"\\", true, 1, 0, {}, -1, -1};
  entries[1] = {"VMeshLibrary", true, 2, 4, {}, -1, -1};
  entries[2] = {"m.lod0.vms", true, 3, 0, {}, -1, -1};
  entries[3] = {"VMeshData", false, 0, 0, block, -1, -1};
  entries[4] = {"Other", true, 0, 1, {}, -1, -1};
  const TOutcome out = Convert(BuildUtfRaw(entries));
  EXPECT_EQ(out.Status, 0);
  EXPECT_EQ(out.Console, kBanner + "  0: m.lod0.vms\n" + BlockLine(block.size(), 1));
  EXPECT_EQ(out.Files, (std::set<std::string>{"m.dbg", "m.log", "m_00.bod", "m_00_00.txt"}));
}

TEST(HostileParts, LoopingParentChainStillConverts) {
  TCompoundSpec desc;
  desc.MeshBlock = TriangleBlock(2);
  for (const char* name : {"A", "B", "C"}) {
    TPartSpec part;
    part.Name = name;
    part.Ref.MeshCount = 1;
    desc.Parts.push_back(part);
  }
  // A under B, B under C, C under A: no part reaches the root.
  TConsSpec ab{"B", "A", {1, 0, 0}, {0, 1, 0, -1, 0, 0, 0, 0, 1}, {}, {}};
  TConsSpec bc{"C", "B", {0, 1, 0}, {1, 0, 0, 0, 1, 0, 0, 0, 1}, {}, {}};
  TConsSpec ca{"A", "C", {0, 0, 1}, {1, 0, 0, 0, 1, 0, 0, 0, 1}, {}, {}};
  desc.ConsTables.push_back(Leaf("Fix", ConsTable(TConsLayout::Fixed, {ab, bc, ca})));
  const TOutcome out = Convert(BuildUtf(CompoundTree(desc)));
  EXPECT_EQ(out.Status, 0) << out.Console;
  EXPECT_EQ(out.Console, kBanner + "  0: model.lod0.vms\n" + BlockLine(desc.MeshBlock.size(), 1));
  EXPECT_EQ(out.Files, (std::set<std::string>{"m.dbg", "m.log", "m_00.bod", "m_00_00.txt", "m_00_01.txt",
                                              "m_00_02.txt"}));
}

TEST(HostileParts, ConstraintTableOfNoKnownSizeEndsTheConversion) {
  TCompoundSpec desc;
  desc.MeshBlock = TriangleBlock(1);
  TPartSpec part;
  part.Name = "A";
  part.Ref.MeshCount = 1;
  desc.Parts.push_back(part);
  for (const size_t size : {300u, 1u, 175u}) {
    desc.ConsTables = {Leaf("Fix", Bytes(size, 0))};
    const TOutcome out = Convert(BuildUtf(CompoundTree(desc)));
    EXPECT_EQ(out.Status, 1) << size;
    EXPECT_EQ(out.Console, kBanner + "  0: model.lod0.vms\n" + kDamage) << size;
    EXPECT_EQ(out.Files, kLogAndDbg) << size;
  }
}

TEST(HostileBlock, MeshRangesBeyond65535AreRejected) {
  auto withMeshes = [](std::vector<TMeshSpec> meshes) {
    TBlockSpec block;
    block.Meshes = std::move(meshes);
    block.Triangles = {{0, 1, 2}};
    block.VertexRefCount = 3;
    for (int k = 0; k < 3; ++k) {
      const Bytes v = VertexRecord(12, float(k), 0, 0, 0, 0);
      block.Vertices.insert(block.Vertices.end(), v.begin(), v.end());
    }
    block.VertexSize = 12;
    return BuildUtf(PlainModel(BuildMeshBlock(block)));
  };
  // 65536 vertices, then one more: the second mesh starts at 65536.
  const TOutcome vertices = Convert(withMeshes({{1, 0, 65535, 3}, {1, 0, 0, 3}}));
  // 21845 + 21845 + 21845 triangles end at 65534; a fourth mesh of one
  // triangle ends at 65535, which still fits, a fifth starts beyond.
  const TOutcome triangles =
      Convert(withMeshes({{1, 0, 0, 65535}, {1, 0, 0, 65535}, {1, 0, 0, 65535}, {1, 0, 0, 3}, {1, 0, 0, 3}}));
  // An end before the start: a range that reaches below zero.
  const TOutcome negative = Convert(withMeshes({{1, 5, 2, 3}}));
  for (const TOutcome* out : {&vertices, &triangles, &negative}) {
    EXPECT_EQ(out->Status, 1);
    EXPECT_EQ(out->Console, kBanner + "  0: m.lod0.vms\n" + kDamage);
    EXPECT_EQ(out->Files, kLogAndDbg);
  }
}

TEST(HostileParts, ReferencesToMeshesBeyondTheBlockAreSkippedOneByOne) {
  TCompoundSpec desc;
  desc.MeshBlock = TriangleBlock(1);
  TPartSpec part;
  part.Name = "A";
  part.Ref.StartMesh = 65535;
  part.Ref.MeshCount = 65535;
  desc.Parts.push_back(part);
  const TOutcome out = Convert(BuildUtf(CompoundTree(desc)));
  EXPECT_EQ(out.Status, 0);
  std::string expected = kBanner + "  0: model.lod0.vms\n" + BlockLine(desc.MeshBlock.size(), 1);
  for (int i = 0; i < 65535; ++i) expected += "  Error index of mesh!!\n";
  EXPECT_EQ(out.Console, expected);
  EXPECT_EQ(out.Files, (std::set<std::string>{"m.dbg", "m.log", "m_00.bod", "m_00_00.txt"}));
}

TEST(HostileBlock, MoreThan65536DistinctVerticesInOneList) {
  // Two parts place the same 65535 vertices at different positions: the
  // second part's vertices overflow the model list.
  TCompoundSpec desc;
  desc.MeshBlock = TriangleBlock(21845);
  for (const char* name : {"A", "B"}) {
    TPartSpec part;
    part.Name = name;
    part.Ref.MeshCount = 1;
    desc.Parts.push_back(part);
  }
  TConsSpec moved{"Root", "B", {0, 0, 100}, {1, 0, 0, 0, 1, 0, 0, 0, 1}, {}, {}};
  desc.ConsTables.push_back(Leaf("Fix", ConsTable(TConsLayout::Fixed, {moved})));
  const TOutcome out =
      Convert(BuildUtf(CompoundTree(desc)), nullptr, "[system]\r\nGenBod=.bod, ON\r\nGenMesh=.txt, ON\r\n");
  EXPECT_EQ(out.Status, 1);
  EXPECT_EQ(out.Console, kBanner + "  0: model.lod0.vms\n" + BlockLine(desc.MeshBlock.size(), 1) + kDamage);
  // The first part's file was complete before the failure.
  EXPECT_EQ(out.Files, (std::set<std::string>{"m_00_00.txt"}));
}

TEST(HostileBlock, CoordinatesThatCannotBeWrittenEndTheConversion) {
  const float kInf = std::numeric_limits<float>::infinity();
  for (const float bad : {std::numeric_limits<float>::quiet_NaN(), kInf, -kInf, 1e30f}) {
    // Part A is sound, part B has the bad vertex.
    TCompoundSpec desc;
    TBlockSpec block;
    block.Meshes = {{1, 0, 2, 3}, {2, 0, 2, 3}};
    block.Triangles = {{0, 1, 2}, {0, 1, 2}};
    block.VertexSize = 12;
    for (const float x : {0.0f, 1.0f, 2.0f, 0.0f, bad, 2.0f}) {
      const Bytes v = VertexRecord(12, x, 1, 0, 0, 0);
      block.Vertices.insert(block.Vertices.end(), v.begin(), v.end());
    }
    desc.MeshBlock = BuildMeshBlock(block);
    desc.Parts.push_back({"A", "", {}, true});
    desc.Parts.back().Ref.MeshCount = 1;
    desc.Parts.push_back({"B", "", {}, true});
    desc.Parts.back().Ref.StartMesh = 1;
    desc.Parts.back().Ref.MeshCount = 1;
    desc.Parts.back().Ref.StartVertex = 3;
    const TOutcome out = Convert(BuildUtf(CompoundTree(desc)));
    EXPECT_EQ(out.Status, 1) << bad;
    EXPECT_EQ(out.Console, kBanner + "  0: model.lod0.vms\n" + BlockLine(desc.MeshBlock.size(), 2) + kDamage)
        << bad;
    EXPECT_EQ(out.Files, (std::set<std::string>{"m.dbg", "m.log", "m_00_00.txt"})) << bad;
  }
}

TEST(HostileCompanions, MaterialFileThatIsNoUtfFile) {
  const Bytes model = BuildUtf(PlainModel(TriangleBlock(1)));
  const std::string ini = std::string(kAllOnIni) + "StrMat=M %i %1:s\r\n";
  std::mt19937 random(7);
  Bytes garbage(3000);
  for (uint8_t& b : garbage) b = static_cast<uint8_t>(random());
  Bytes text = {'h', 'e', 'l', 'l', 'o', '\r', '\n'};
  for (const Bytes* mat : {&garbage, &text}) {
    TTempDir dir;
    WriteFileBytes(dir.File("m.cmp"), model);
    WriteFileBytes(dir.File("m.mat"), *mat);
    std::string console;
    EXPECT_EQ(RunInProcess(dir.Path(), ini, {dir.File("m.cmp"), dir.File("m.mat")}, console), 0) << console;
    // The material is named by its ID.
    const std::string bod = ReadFileText(dir.File("m_00.bod"));
    EXPECT_NE(bod.find("\r\nM 0 00001234\r\n"), std::string::npos) << bod;
  }
  // A UTF material file whose node table lies beyond its end is damage.
  Bytes badTable = BuildUtf({Folder("Hull", {TextLeaf("Dt_name", "hull.tga")})});
  SetU32(badTable, kNodeBlockOffsetAt, 0x7FFFFFF0u);
  const TOutcome damaged = Convert(model, &badTable);
  EXPECT_EQ(damaged.Status, 1);
  EXPECT_EQ(damaged.Console, kBanner + kDamage);
}

TEST(HostileCompanions, SettingsFileOfBinaryGarbageSwitchesNothingOn) {
  const Bytes model = BuildUtf(PlainModel(TriangleBlock(1)));
  std::mt19937 random(11);
  std::string garbage(20000, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  // Garbage around a section line and keys with NULs and control bytes.
  const char keys[] = "\nGenBod=.b\x01od, O\0N\nDebug=\xff\xfe, OFF\x1a\nGenMesh=.txt, ON, ON\n";
  std::string mixed = garbage.substr(0, 500) + "\n[system]\n" + garbage.substr(500, 500) +
                      std::string(keys, sizeof keys - 1) + garbage.substr(1000);
  for (const std::string* ini : {&garbage, &mixed}) {
    const TOutcome out = Convert(model, nullptr, *ini);
    EXPECT_EQ(out.Status, 0);
    EXPECT_EQ(out.Console, kBanner + "  0: m.lod0.vms\n" + BlockLine(TriangleBlock(1).size(), 1));
    EXPECT_TRUE(out.Files.empty());
  }
}

namespace {

// A block of one mesh of `triangles` triangles, all of them the same three
// vertices.
Bytes SameTriangleBlock(uint16_t triangles) {
  TBlockSpec block;
  block.Meshes = {{0x1234, 0, 2, static_cast<uint16_t>(3 * triangles)}};
  block.Triangles.assign(triangles, {0, 1, 2});
  for (int k = 0; k < 3; ++k) {
    const Bytes v = VertexRecord(12, float(k), 0, 0, 0, 0);
    block.Vertices.insert(block.Vertices.end(), v.begin(), v.end());
  }
  block.VertexSize = 12;
  return BuildMeshBlock(block);
}

// A model of `parts` parts that all use the one mesh of a block of
// `triangles` triangles, each part costing one node entry: the parts' folders
// share one chain of name nodes and one file node.
Bytes ManyPartsModel(int parts, uint16_t triangles) {
  TVMeshRefSpec ref;
  ref.ID = TestNameHash("m.lod0.vms");
  ref.MeshCount = 1;
  const int firstPart = 11;
  std::vector<TRawNode> e(static_cast<size_t>(firstPart + parts));
  e[0] = {"\\", true, 1, 0, {}, -1, -1};
  e[1] = {"VMeshLibrary", true, 2, 4, {}, -1, -1};
  e[2] = {"m.lod0.vms", true, 3, 0, {}, -1, -1};
  e[3] = {"VMeshData", false, 0, 0, SameTriangleBlock(triangles), -1, -1};
  e[4] = {"Cmpnd", true, firstPart, 5, {}, -1, -1};
  e[5] = {"a.3db", true, 6, 0, {}, -1, -1};
  e[6] = {"VMeshPart", true, 7, 0, {}, -1, -1};
  e[7] = {"VMeshRef", false, 0, 0, VMeshRefData(ref), -1, -1};
  e[8] = {"Object Name", false, 0, 9, {'P', 0}, -1, -1};
  e[9] = {"File Name", false, 0, 0, {'a', '.', '3', 'd', 'b', 0}, -1, -1};
  e[10] = {"Unused", true, 0, 0, {}, -1, -1};
  for (int i = 0; i < parts; ++i) {
    const int at = firstPart + i;
    e[static_cast<size_t>(at)] = {"Part", true, 8, i + 1 < parts ? at + 1 : 0, {}, -1, -1};
  }
  return BuildUtfRaw(e);
}

}  // namespace

TEST(HostileSize, WorkRepeatedBeyondTheLimitEndsTheConversion) {
  // 500 parts of 1000 triangles each under a limit of 50000: reading the
  // parts (500) and decoding (1 mesh, 1000 triangles, 3 vertices) leave
  // 48496 units, enough for 48 parts of 1001 (one mesh, its triangles).
  const Bytes model = ManyPartsModel(500, 1000);
  const TOutcome parts = Convert(model, nullptr, kAllOnIni, 50000);
  EXPECT_EQ(parts.Status, 1);
  EXPECT_EQ(parts.Console,
            kBanner + "  0: m.lod0.vms\n" + BlockLine(SameTriangleBlock(1000).size(), 1) + kDamage);
  std::set<std::string> expected = kLogAndDbg;
  for (int g = 0; g < 48; ++g)
    expected.insert("m_00_" + std::string(g < 10 ? "0" : "") + std::to_string(g) + ".txt");
  EXPECT_EQ(parts.Files, expected);

  // 300 mesh data nodes share one block's bytes: each block costs 1004 to
  // decode, 602 to look through the nodes for its references and 1001 to
  // place for its default part, so 19 blocks fit and the 20th fails before
  // it is decoded.
  const Bytes block = SameTriangleBlock(1000);
  std::vector<TRawNode> e = {{"\\", true, 1, 0, {}, -1, -1}, {"VMeshLibrary", true, 2, 0, {}, -1, -1}};
  for (int b = 0; b < 300; ++b) {
    const int at = static_cast<int>(e.size());
    e.push_back({"m.lod0.vms", true, at + 1, b + 1 < 300 ? at + 2 : 0, {}, -1, -1});
    e.push_back({"VMeshData", false, 0, 0, b == 0 ? block : Bytes{}, -1, -1});
  }
  Bytes shared = BuildUtfRaw(e);
  // Every leaf after the first points at the first one's data.
  for (int b = 1; b < 300; ++b) {
    const size_t leaf = EntryAt(static_cast<size_t>(3 + 2 * b));
    SetU32(shared, leaf + kChildOrDataAt, GetU32(shared, EntryAt(3) + kChildOrDataAt));
    SetU32(shared, leaf + kDataSizeAt, static_cast<uint32_t>(block.size()));
    SetU32(shared, leaf + kUsedSizeAt, static_cast<uint32_t>(block.size()));
  }
  const TOutcome blocks = Convert(shared, nullptr, "[system]\r\nGenBod=.bod, ON\r\n", 50000);
  EXPECT_EQ(blocks.Status, 1);
  std::string console = kBanner;
  std::set<std::string> bodFiles;
  for (int b = 0; b < 20; ++b) {
    console += (b < 10 ? "  " : " ") + std::to_string(b) + ": m.lod0.vms\n";
    if (b < 19) {
      console += BlockLine(block.size(), 1);
      bodFiles.insert("m_" + std::string(b < 10 ? "0" : "") + std::to_string(b) + ".bod");
    }
  }
  EXPECT_EQ(blocks.Console, console + kDamage);
  EXPECT_EQ(blocks.Files, bodFiles);
}

// Inputs the fuzzers found, kept as whole conversions.
TEST(FuzzFindings, NameNodesWithoutDataAreEmptyNames) {
  // A part whose "File Name" (and another's "Object Name") has no data at
  // all: reading its text must not touch memory it does not have.
  TCompoundSpec desc;
  desc.MeshBlock = TriangleBlock(1);
  desc.Parts.push_back({"A", "", {}, true});
  desc.Parts.back().Ref.MeshCount = 1;
  std::vector<TNodeSpec> tree = CompoundTree(desc);
  TNodeSpec& cmpnd = tree[1];
  ASSERT_EQ(cmpnd.Name, "Cmpnd");
  TNodeSpec& part = cmpnd.Children[1];
  part.Children[1].Data.clear();  // File Name
  TNodeSpec other = part;
  other.Name = "Part_B";
  other.Children[0] = Folder("Object Name");
  cmpnd.Children.push_back(other);
  const TOutcome out = Convert(BuildUtf(tree));
  EXPECT_EQ(out.Status, 0);
  // No part has a reference into the block: it gets the default part.
  EXPECT_EQ(out.Console, kBanner + "  0: model.lod0.vms\n" + BlockLine(desc.MeshBlock.size(), 1));
  EXPECT_EQ(out.Files, (std::set<std::string>{"m.dbg", "m.log", "m_00.bod", "m_00_00.txt"}));
}

TEST(HostileCompanions, ExtensionWithANulNamesNoFile) {
  // The system would cut the name at the NUL, so the temporary file would be
  // the final one: an earlier run's output must survive, and no file of a
  // cut name may appear.
  TTempDir dir;
  WriteFileBytes(dir.File("m.cmp"), BuildUtf(PlainModel(TriangleBlock(1))));
  WriteFileText(dir.File("m_00.bod"), "earlier");
  const char ini[] = "[system]\nGenBod=.bod\0x, ON\n";
  std::string console;
  const int status = RunInProcess(dir.Path(), std::string(ini, sizeof ini - 1), {dir.File("m.cmp")}, console);
  EXPECT_EQ(status, 1);
  // The failed write names the file, its NUL shown as "?", with the
  // system's reason (worded by each system).
  const std::string head = kBanner + "  0: m.lod0.vms\n" + BlockLine(TriangleBlock(1).size(), 1) +
                           "  Error : cannot write " + dir.File("m_00.bod?x") + ": ";
  EXPECT_EQ(console.substr(0, head.size()), head);
  EXPECT_EQ(console.substr(console.size() - std::string(kDamage).size()), kDamage);
  EXPECT_EQ(std::count(console.begin(), console.end(), '\n'), std::count(head.begin(), head.end(), '\n') + 2);
  EXPECT_EQ(ReadFileText(dir.File("m_00.bod")), "earlier");
  std::set<std::string> files;
  for (const auto& entry : fs::directory_iterator(dir.Path())) files.insert(entry.path().filename().string());
  EXPECT_EQ(files, (std::set<std::string>{"bodwright.ini", "m.cmp", "m_00.bod"}));
}
