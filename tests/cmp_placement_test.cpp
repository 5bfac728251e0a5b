#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <stdexcept>

#include "cmp/part_placement.h"
#include "parts_builder.h"
#include "support/buf_stream.h"
#include "support/context.h"
#include "support/errors.h"
#include "support/text_helpers.h"
#include "test_support.h"

using namespace bwtest;

namespace {

size_t Occurrences(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TPartSpec Part(const std::string& name, uint16_t startMesh = 0) {
  TPartSpec p;
  p.Name = name;
  p.Ref.StartMesh = startMesh;
  p.Ref.MeshCount = 1;
  return p;
}

TConsSpec Cons(const std::string& root, const std::string& part, std::array<float, 3> origin,
               std::array<float, 9> mtx = {1, 0, 0, 0, 1, 0, 0, 0, 1}) {
  TConsSpec c;
  c.RootName = root;
  c.PartName = part;
  c.Origin = origin;
  c.Mtx = mtx;
  return c;
}

// Quarter turns in the row-vector convention (p' = p x M), stored column by
// column as the tables hold them.
// About Z: (x, y, z) -> (-y, x, z); rows (0,1,0), (-1,0,0), (0,0,1).
constexpr std::array<float, 9> kQuarterZ = {0, -1, 0, 1, 0, 0, 0, 0, 1};
// About X: (x, y, z) -> (x, -z, y); rows (1,0,0), (0,0,1), (0,-1,0).
constexpr std::array<float, 9> kQuarterX = {1, 0, 0, 0, 0, -1, 0, 1, 0};

// The compound model with the parts and tables given, and its part table.
struct TPlaced {
  TDbgRun T;
  bw::TMeshGroups Groups;
  explicit TPlaced(const std::vector<TPartSpec>& parts, std::vector<TNodeSpec> tables, bool debug = true)
      : T(debug) {
    TCompoundSpec desc;
    desc.Parts = parts;
    desc.ConsTables = std::move(tables);
    T.Load(BuildUtf(CompoundTree(desc)));
  }
  void Place() { Groups = bw::ReadPartPlacement(T.Nodes, "model.lod0.vms", T.Ctx); }
  const bw::TMeshGroup& Group(const std::string& name) {
    const bw::TMeshGroup* g = Groups.FindPart(name);
    if (!g) throw std::runtime_error("no part " + name);
    return *g;
  }
};

// A group added straight to the part table.
void AddPlaced(bw::TMeshGroups& groups, const std::string& part, const std::string& parent, float x, float y,
               float z, const bw::TMatrix& mtx = bw::kIdentity) {
  bw::TMeshGroup& g = bw::AddMeshGroup(groups, parent, part, 0, 1, 0, 0, 0, 0, 0, 0, 0, {}, {}, 0);
  g.X = x;
  g.Y = y;
  g.Z = z;
  g.Mtx = mtx;
}

std::array<float, 3> Position(const bw::TMeshGroup& g) {
  return {g.X, g.Y, g.Z};
}

}  // namespace

TEST(PartPlacement, StoredMatrixFillsColumnsAndRootInAnyCaseEndsTheChain) {
  TPlaced p(
      {Part("P"), Part("Q"), Part("Root"), Part("Loose")},
      {Leaf("Fix", ConsTable(TConsLayout::Fixed,
                             {Cons("Root", "P", {1, 2, 3}, {1, 2, 3, 4, 5, 6, 7, 8, 9}),
                              Cons("root", "Root", {100, 0, 0}), Cons("rOOT", "Q", {1, 1, 1}, kQuarterZ)}))},
      false);
  p.Place();
  const bw::TMeshGroup& g = p.Group("P");
  EXPECT_EQ(g.RootName, "Root");
  EXPECT_EQ(Position(g), (std::array<float, 3>{1, 2, 3}));
  EXPECT_EQ(g.Mtx, (bw::TMatrix{1, 4, 7, 0, 2, 5, 8, 0, 3, 6, 9, 0, 0, 0, 0, 1}));
  EXPECT_EQ(g.W, 1.0f);
  // Hanging from "rOOT" is hanging from the model, not from the part named Root.
  EXPECT_EQ(Position(p.Group("Q")), (std::array<float, 3>{1, 1, 1}));
  EXPECT_EQ(p.Group("Q").Mtx, (bw::TMatrix{0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
  // A part no constraint names keeps its container path and no placement.
  EXPECT_EQ(p.Group("Loose").RootName, "\\Loose.3db\\MultiLevel");
  EXPECT_EQ(Position(p.Group("Loose")), (std::array<float, 3>{0, 0, 0}));
  EXPECT_EQ(p.Group("Loose").Mtx, bw::kIdentity);
}

TEST(PartPlacement, AThreeLevelChainIsComposedRigidlyInEveryPartOrder) {
  // Base sits at (10,0,0) unturned; Arm hangs from Base at (0,5,0) turned a
  // quarter about Z; Hand hangs from Arm at (1,2,3) turned a quarter about X.
  // Hand's vertex (0,1,0): about X -> (0,0,1); + (1,2,3) -> (1,2,4) in Arm;
  // about Z -> (-2,1,4); + (0,5,0) -> (-2,6,4) in Base; + (10,0,0) -> (8,6,4).
  // Hand's own origin goes the same way: (1,2,3) -> (-2,1,3) -> (-2,6,3) -> (8,6,3).
  const TNodeSpec table =
      Leaf("Fix", ConsTable(TConsLayout::Fixed,
                            {Cons("Arm", "Hand", {1, 2, 3}, kQuarterX),
                             Cons("Base", "Arm", {0, 5, 0}, kQuarterZ), Cons("Root", "Base", {10, 0, 0})}));
  std::vector<std::string> order = {"Arm", "Base", "Hand"};
  do {
    SCOPED_TRACE(order[0] + " " + order[1] + " " + order[2]);
    std::vector<TPartSpec> parts;
    for (const std::string& name : order) parts.push_back(Part(name));
    TPlaced p(parts, {table}, false);
    p.Place();

    const bw::TMeshGroup& hand = p.Group("Hand");
    EXPECT_EQ(Position(hand), (std::array<float, 3>{8, 6, 3}));
    // Rows: x -> (0,1,0), y -> (0,0,1), z -> (1,0,0): the turn about X, then about Z.
    EXPECT_EQ(hand.Mtx, (bw::TMatrix{0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(hand.W, 1.0f);
    const std::array<float, 3> vertex = {0, 1, 0};
    std::array<float, 3> placed{};
    for (size_t j = 0; j < 3; ++j) {
      placed[j] = Position(hand)[j];
      for (size_t k = 0; k < 3; ++k) placed[j] += vertex[k] * hand.Mtx[4 * k + j];
    }
    EXPECT_EQ(placed, (std::array<float, 3>{8, 6, 4}));

    EXPECT_EQ(Position(p.Group("Arm")), (std::array<float, 3>{10, 5, 0}));
    EXPECT_EQ(p.Group("Arm").Mtx, (bw::TMatrix{0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}));
    EXPECT_EQ(Position(p.Group("Base")), (std::array<float, 3>{10, 0, 0}));
    EXPECT_EQ(p.Group("Base").Mtx, bw::kIdentity);
  } while (std::next_permutation(order.begin(), order.end()));
}

TEST(PartPlacement, UnturnedChainsSumTheirOffsets) {
  bw::TMeshGroups groups;
  bw::TContext ctx;
  AddPlaced(groups, "C", "b", 100.01f, 0.001f, -7.0f);
  AddPlaced(groups, "B", "A", 1.7f, -2.9f, 3.3f);
  AddPlaced(groups, "A", "ROOT", 0.1f, 0.2f, 0.3f);
  // A chain that ends at a name no part has: what was added so far stands.
  AddPlaced(groups, "E", "D", 1, 2, 3);
  AddPlaced(groups, "D", "Ghost", 10, 20, 30);
  bw::ComposePlacements(groups, ctx);
  EXPECT_EQ(Position(groups[0]),
            (std::array<float, 3>{(100.01f + 1.7f) + 0.1f, (0.001f + -2.9f) + 0.2f, (-7.0f + 3.3f) + 0.3f}));
  EXPECT_EQ(Position(groups[1]), (std::array<float, 3>{1.7f + 0.1f, -2.9f + 0.2f, 3.3f + 0.3f}));
  EXPECT_EQ(Position(groups[2]), (std::array<float, 3>{0.1f, 0.2f, 0.3f}));
  EXPECT_EQ(Position(groups[3]), (std::array<float, 3>{11, 22, 33}));
  EXPECT_EQ(Position(groups[4]), (std::array<float, 3>{10, 20, 30}));
  for (const bw::TMeshGroup& g : groups) EXPECT_EQ(g.Mtx, bw::kIdentity);
}

TEST(PartPlacement, ALoopingChainStopsAfterAsManyStepsAsThereAreGroups) {
  bw::TMeshGroups groups;
  bw::TContext ctx;
  AddPlaced(groups, "A", "B", 1, 0, 0);
  AddPlaced(groups, "B", "a", 0, 10, 0);
  bw::ComposePlacements(groups, ctx);
  EXPECT_EQ(Position(groups[0]), (std::array<float, 3>{2, 10, 0}));  // A, B, A
  EXPECT_EQ(Position(groups[1]), (std::array<float, 3>{1, 20, 0}));  // B, A, B
}

TEST(PartPlacement, TableKindByNameThenBySize) {
  // Read at the offsets of another layout, its matrix would take in Unk1.
  TConsSpec toP = Cons("Root", "P", {4, 5, 6});
  toP.Unk1 = {9, 9, 9};
  std::vector<TConsSpec> eleven(11, Cons("Root", "Nobody", {}));
  eleven[0] = toP;
  std::vector<TConsSpec> thirteen(13, Cons("Root", "Nobody", {}));
  const Bytes revolute2288 = ConsTable(TConsLayout::Revolute, eleven);
  ASSERT_EQ(revolute2288.size(), 2288u);
  struct TCase {
    std::string Name;
    Bytes Data;
    size_t Fixed, Revolute, Sphere;
  };
  const std::vector<TCase> cases = {
      {"Empty", {}, 0, 0, 0},
      {"Tbl", revolute2288, 13, 0, 0},
      {"Fix", ConsTable(TConsLayout::Fixed, thirteen), 13, 0, 0},
      {"Rev", revolute2288, 0, 11, 0},
      {"PRIS", revolute2288, 0, 11, 0},
      {"Loose", ConsTable(TConsLayout::Revolute, {toP, toP}), 0, 2, 0},  // 416 fits no Fixed table
      {"Tbl", ConsTable(TConsLayout::Revolute, {toP, toP}), 0, 2, 0},
      {"Tbl", ConsTable(TConsLayout::Sphere, {toP, toP}), 0, 0, 2},
      {"sphere", ConsTable(TConsLayout::Sphere, std::vector<TConsSpec>(44, toP)), 0, 0,
       44},  // 9328 = 53 x 176
      {"Tbl", ConsTable(TConsLayout::Sphere, std::vector<TConsSpec>(44, toP)), 53, 0, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name + " " + std::to_string(c.Data.size()));
    TPlaced p({Part("P")}, {Leaf(c.Name, c.Data)});
    p.Place();
    const std::string text = p.T.DbgText();
    EXPECT_EQ(Occurrences(text, "Fixed : "), c.Fixed);
    EXPECT_EQ(Occurrences(text, "Revolute : "), c.Revolute);
    EXPECT_EQ(Occurrences(text, "Sphere : "), c.Sphere);
    if (c.Revolute + c.Sphere > 0) {
      EXPECT_EQ(Position(p.Group("P")), (std::array<float, 3>{4, 5, 6}));
      EXPECT_EQ(p.Group("P").Mtx, bw::kIdentity);
    }
  }
}

TEST(PartPlacement, ATableOfNoKnownSizeEndsTheConversion) {
  for (const std::string name : {"Tbl", "Rev", "Sphere"}) {
    SCOPED_TRACE(name);
    TPlaced p({Part("P")}, {Leaf("Fix", ConsTable(TConsLayout::Fixed, {Cons("Root", "P", {1, 1, 1})})),
                            Leaf(name, Bytes(300, 0))});
    try {
      p.Place();
      ADD_FAILURE() << "no failure";
    } catch (const bw::EIdxError& e) {
      EXPECT_STREQ(e.what(), "  Unknown format tables.");
    }
    const std::string text = p.T.DbgText();
    const std::string tail =
        "  Mtx = 1.000; 0.000; 0.000; 0.000; 1.000; 0.000; 0.000; 0.000; 1.000; \r\n"
        "Err: Unknown format tables.\r\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
  }
}

TEST(PartPlacement, RecordsAreAppliedInOrderAndOnlyWhenPresent) {
  const std::string longName(64, 'N');
  TNodeSpec cut = Leaf("Fix", ConsTable(TConsLayout::Fixed, {Cons("Root", "Q", {7, 7, 7})}));
  cut.UsedSizeOverride = 2 * 176;  // claims a second record that was never copied
  TNodeSpec empty = Leaf("Fix", {});
  empty.UsedSizeOverride = 176;
  TPlaced p(
      {Part("P"), Part(longName), Part("Q")},
      {Leaf("Fix", ConsTable(TConsLayout::Fixed, {Cons("Root", "p", {1, 1, 1}), Cons("Root", "P", {2, 2, 2}),
                                                  Cons("Root", longName + "tail", {3, 3, 3})})),
       cut, empty});
  p.Place();
  EXPECT_EQ(Position(p.Group("P")), (std::array<float, 3>{2, 2, 2}));
  // A name filling its 64 bytes is read as 64 characters.
  EXPECT_EQ(Position(p.Group(longName)), (std::array<float, 3>{3, 3, 3}));
  EXPECT_EQ(Position(p.Group("Q")), (std::array<float, 3>{7, 7, 7}));
  EXPECT_EQ(Occurrences(p.T.DbgText(), "Fixed : "), 4u);
}

TEST(PartPlacement, ConstraintTextOfEachKind) {
  TConsSpec c = Cons("Root", "Arm", {1.5f, -2, 123456.7f}, {1, 2, 3, 4, 5, 6, 7, 8, 9});
  c.Unk1 = {0.25f, -0.5f, 12.34567f};
  c.Unk2 = {10, 11, 12, 13, 14, 15};
  bw::TConsRecord rec;
  rec.RootName = c.RootName;
  rec.PartName = c.PartName;
  rec.Origin = c.Origin;
  rec.Mtx = c.Mtx;
  rec.Unk1 = c.Unk1;
  rec.Unk2 = c.Unk2;
  TDbgRun t;
  bw::PrintConstraint(t.Ctx, bw::TConsKind::Fixed, rec);
  bw::PrintConstraint(t.Ctx, bw::TConsKind::Revolute, rec);
  bw::PrintConstraint(t.Ctx, bw::TConsKind::Sphere, rec);
  const std::string head = "RootName = \"Root\";  PartName = \"Arm\";";
  const std::string origin = "  Origin = (1.500, -2.000, 1.2346E005);";
  const std::string mtx = "  Mtx = 1.000; 2.000; 3.000; 4.000; 5.000; 6.000; 7.000; 8.000; 9.000; ";
  const std::string unk1 = "  Unk1 = 0.250; -0.500; 12.346; ";
  EXPECT_EQ(t.DbgText(), Lines({"Fixed : " + head, origin, mtx,                       //
                                "Revolute : " + head, origin, unk1, mtx,              //
                                "  Unk2 = 10.000; 11.000; 12.000; 13.000; 14.000; ",  //
                                "Sphere : " + head, origin, unk1, mtx,                //
                                "  Unk2 = 10.000; 11.000; 12.000; 13.000; 14.000; 15.000; "}));
}

TEST(PartPlacement, WholeDiagnosticsOfAPlacedModel) {
  TPartSpec hull = Part("Hull", 0);
  hull.Ref.MeshCount = 2;
  hull.Ref.U = {0.25f, 1, -2};
  TPlaced p({hull, Part("Turret", 2)},
            {Leaf("Fix", ConsTable(TConsLayout::Fixed,
                                   {Cons("Root", "Hull", {12345.6f, -0.5f, 2}),
                                    Cons("Hull", "Turret", {1, 2, 3}), Cons("Hull", "Ghost", {0, 0, 0})}))});
  p.Place();
  const std::string hash = bw::DWordToHex(TestNameHash("model.lod0.vms"));
  const std::string identity = "  Mtx = 1.000; 0.000; 0.000; 0.000; 1.000; 0.000; 0.000; 0.000; 1.000; ";
  EXPECT_EQ(
      p.T.DbgText(),
      Lines({"Find \"Cmpnd\"",
             "idx =    4; parent = \"\\\";  node.name = \"Cmpnd\";  DataSize = 0",
             "======================",
             "",
             "ParntName = \"\\Hull.3db\\MultiLevel\"  idx = 16",
             ">Node = \"\\Hull.3db\\MultiLevel\\Level0\\VMeshPart\\VMeshRef\"  idx = 19",
             ">>VMeshRef = \"VMeshRef\"  ID = " + hash + "  crc = " + hash,
             ">>StartMesh = 0  MeshCount = 2  StartVertex = 0  EndVertex = 0",
             ">>>VMeshRef ADD",
             "",
             "ParntName = \"\\Turret.3db\\MultiLevel\"  idx = 21",
             ">Node = \"\\Turret.3db\\MultiLevel\\Level0\\VMeshPart\\VMeshRef\"  idx = 24",
             ">>VMeshRef = \"VMeshRef\"  ID = " + hash + "  crc = " + hash,
             ">>StartMesh = 2  MeshCount = 1  StartVertex = 0  EndVertex = 0",
             ">>>VMeshRef ADD",
             "Fixed : RootName = \"Root\";  PartName = \"Hull\";",
             "  Origin = (12346.000, -0.500, 2.000);",
             identity,
             "Fixed : RootName = \"Hull\";  PartName = \"Turret\";",
             "  Origin = (1.000, 2.000, 3.000);",
             identity,
             "Fixed : RootName = \"Hull\";  PartName = \"Ghost\";",
             "  Origin = (0.000, 0.000, 0.000);",
             identity,
             "======================",
             "idx = 0; RootName = \"Root\";; PartName = \"Hull\";  BegMesh = 0  MeshCnt = 2  X = 1.235E004"
             "  Y = -0.500  Z = 2.000  u0 = 0.250  u1 = 1.000  u2 = -2.000",
             "idx = 1; RootName = \"Hull\";; PartName = \"Turret\";  BegMesh = 2  MeshCnt = 1  X = 1.235E004"
             "  Y = 1.500  Z = 5.000  u0 = 0.000  u1 = 0.000  u2 = 0.000"}));
}

TEST(PartPlacement, AModelWithoutCmpndPlacesNothing) {
  TDbgRun t;
  t.Load(BuildUtf({Folder("VMeshLibrary", {Folder("m.lod0.vms", {Leaf("VMeshData", Bytes(16, 0))})})}));
  EXPECT_EQ(bw::ReadPartPlacement(t.Nodes, "m.lod0.vms", t.Ctx).Count(), 0);
  EXPECT_EQ(t.DbgText(), Lines({"Find \"Cmpnd\"", "======================"}));
}

TEST(PartPlacement, ThousandsOfPartsInALargeTree) {
  constexpr int kParts = 2000;
  std::vector<TPartSpec> parts;
  std::vector<TConsSpec> cons;
  for (int i = 0; i < kParts; ++i) {
    const std::string name = "P" + std::to_string(i);
    parts.push_back(Part(name, static_cast<uint16_t>(i)));
    // Chains of four: every fourth part hangs from the model, the others from the one before.
    cons.push_back(Cons(i % 4 == 0 ? "Root" : "P" + std::to_string(i - 1), name, {1, 0, 0}, kQuarterZ));
  }
  TCompoundSpec desc;
  desc.Parts = parts;
  desc.ConsTables = {Leaf("Fix", ConsTable(TConsLayout::Fixed, cons))};
  std::vector<TNodeSpec> tree = CompoundTree(desc);
  std::vector<TNodeSpec> filler;
  for (int i = 0; i < 500; ++i) {
    std::vector<TNodeSpec> leaves;
    for (int k = 0; k < 200; ++k) leaves.push_back(Leaf("L" + std::to_string(k), Bytes(4, 0)));
    filler.push_back(Folder("F" + std::to_string(i), std::move(leaves)));
  }
  tree.insert(tree.begin(), Folder("Filler", std::move(filler)));
  TDbgRun t(false);
  t.Load(BuildUtf(tree));
  ASSERT_GT(t.Nodes.Count(), 100000);
  const bw::TMeshGroups groups = bw::ReadPartPlacement(t.Nodes, "model.lod0.vms", t.Ctx);
  ASSERT_EQ(groups.Count(), kParts);
  // The fourth of a chain: (1,0,0) turned three times about Z, plus the offsets above it.
  const bw::TMeshGroup& last = groups[kParts - 1];
  EXPECT_EQ(Position(last), (std::array<float, 3>{0, 0, 0}));
}
