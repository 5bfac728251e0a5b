#include <gtest/gtest.h>

#include "cmp/utf_tree.h"
#include "cmp_builder.h"
#include "support/buf_stream.h"
#include "test_support.h"

namespace {

using namespace bw;
using namespace bwtest;

TRawNode RawFolder(std::string name, int32_t child, int32_t sibling = 0) {
  TRawNode n;
  n.Name = std::move(name);
  n.Folder = true;
  n.Child = child;
  n.Sibling = sibling;
  return n;
}

TRawNode RawLeaf(std::string name, int32_t sibling = 0, Bytes data = {1, 2, 3, 4}) {
  TRawNode n;
  n.Name = std::move(name);
  n.Sibling = sibling;
  n.Data = std::move(data);
  return n;
}

// The nodes' Data point into img: a test that reads Data keeps img alive.
TNodesList Read(const Bytes& img) {
  TNodesList nodes;
  EXPECT_TRUE(ReadUtfImage(img, nodes));
  return nodes;
}

std::vector<int32_t> Parents(const TNodesList& nodes) {
  std::vector<int32_t> out;
  for (const TUtfNode& n : nodes) out.push_back(n.ParentIdx);
  return out;
}

// The node table copied to the end of the image, so that cutting bytes off
// the end cuts into the entries and nothing else.
Bytes TableAtEnd(Bytes img) {
  const uint32_t size = GetU32(img, kNodeBlockSizeAt);
  const Bytes table(img.begin() + EntryAt(0), img.begin() + EntryAt(0) + size);
  SetU32(img, kNodeBlockOffsetAt, static_cast<uint32_t>(img.size()));
  img.insert(img.end(), table.begin(), table.end());
  return img;
}

TEST(UtfTree, SignatureAndHeaderChecks) {
  const Bytes good = BuildUtf({Leaf("a", {1})});
  TNodesList nodes;

  Bytes oldVersion = good;
  SetU32(oldVersion, 4, 0x100);
  EXPECT_FALSE(ReadUtfImage(oldVersion, nodes));
  EXPECT_EQ(nodes.Count(), 0);
  Bytes badMagic = good;
  badMagic[3] = 'X';
  EXPECT_FALSE(ReadUtfImage(badMagic, nodes));
  EXPECT_EQ(nodes.Count(), 0);

  EXPECT_THROW(ReadUtfImage(Bytes{}, nodes), ERangeError);
  EXPECT_THROW(ReadUtfImage(Bytes{'U', 'T', 'F'}, nodes), ERangeError);
  // Signature and version right, the rest of the header cut off.
  EXPECT_THROW(ReadUtfImage(Bytes(good.begin(), good.begin() + 0x27), nodes), ERangeError);

  // The node count is the table size div 44, the rest ignored.
  Bytes three = BuildUtfRaw({RawFolder("\\", 1), RawLeaf("a"), RawLeaf("b")});
  SetU32(three, kNodeBlockSizeAt, 100);
  EXPECT_TRUE(ReadUtfImage(three, nodes));
  EXPECT_EQ(nodes.Count(), 2);
  SetU32(three, kNodeBlockSizeAt, 43);
  EXPECT_THROW(ReadUtfImage(three, nodes), ERangeError);
}

TEST(UtfTree, TreeStoredInOrderGetsItsLinksAndData) {
  const Bytes img =
      BuildUtf({Folder("Lod0", {Leaf("VMeshData", {9, 8, 7}), Leaf("Empty", {})}), TextLeaf("Info", "hi")});
  const TNodesList nodes = Read(img);
  ASSERT_EQ(nodes.Count(), 5);
  EXPECT_EQ(nodes[1].Name, "Lod0");
  EXPECT_EQ(nodes[1].ChildIdx, 2);
  EXPECT_EQ(nodes[1].SiblingIdx, 4);
  EXPECT_FALSE(nodes[1].HasData);
  EXPECT_TRUE(nodes[2].IsLeaf);
  EXPECT_EQ(Bytes(nodes[2].Data.begin(), nodes[2].Data.end()), (Bytes{9, 8, 7}));
  EXPECT_FALSE(nodes[3].HasData);
  EXPECT_EQ(Parents(nodes), (std::vector<int32_t>{0, 0, 1, 1, 0}));
}

TEST(UtfTree, DataBlocksFollowDataSizeAndChildNotTheFlag) {
  Bytes img = BuildUtfRaw(
      {RawFolder("\\", 1), RawLeaf("zero", 2), RawFolder("flat", 0, 3), RawLeaf("more", 4), RawLeaf("less")});
  // A leaf that reserves nothing gets no block whatever it claims to use.
  SetU32(img, EntryAt(1) + kDataSizeAt, 0);
  SetU32(img, EntryAt(1) + kUsedSizeAt, 4);
  // A folder whose child offset is below one entry is taken as data.
  SetU32(img, EntryAt(2) + kChildOrDataAt, GetU32(img, EntryAt(3) + kChildOrDataAt));
  SetU32(img, EntryAt(2) + kDataSizeAt, 4);
  SetU32(img, EntryAt(2) + kUsedSizeAt, 2);
  // Using more than is reserved keeps only the reserved bytes.
  SetU32(img, EntryAt(3) + kDataSizeAt, 3);
  // Reserving more than is used keeps only the used bytes.
  SetU32(img, EntryAt(4) + kDataSizeAt, 1000000);
  SetU32(img, EntryAt(4) + kUsedSizeAt, 1);
  const TNodesList nodes = Read(img);
  EXPECT_FALSE(nodes[1].HasData);
  EXPECT_FALSE(nodes[2].IsLeaf);
  EXPECT_EQ(nodes[2].ChildIdx, 0);
  EXPECT_TRUE(nodes[2].HasData);
  EXPECT_EQ(nodes[2].Data.size(), 2u);
  EXPECT_EQ(nodes[3].Data.size(), 3u);
  EXPECT_EQ(nodes[4].DataSize, 1000000u);
  EXPECT_EQ(nodes[4].Data.size(), 1u);
}

TEST(UtfTree, ParentsAreRepairedForNodesStoredEarly) {
  // The first child stored before its folder; its sibling is not reached.
  const TNodesList childFirst =
      Read(BuildUtfRaw({RawFolder("\\", 3), RawLeaf("x", 2), RawLeaf("y"), RawFolder("F", 1)}));
  EXPECT_EQ(Parents(childFirst), (std::vector<int32_t>{0, 3, 0, 0}));

  // Siblings stored before the node whose chain reaches them.
  const TNodesList siblingsFirst = Read(BuildUtfRaw(
      {RawFolder("\\", 1), RawFolder("A", 4), RawLeaf("c"), RawLeaf("b", 2), RawLeaf("a", 3), RawLeaf("d")}));
  EXPECT_EQ(Parents(siblingsFirst), (std::vector<int32_t>{0, 0, 1, 1, 1, 0}));
  EXPECT_EQ(siblingsFirst.FindChild(1, "C"), 2);

  // A sibling stored after the node whose chain reaches it learns its parent
  // in advance, and so does its own chain.
  const TNodesList mixed = Read(BuildUtfRaw({RawFolder("\\", 1), RawFolder("A", 3), RawLeaf("b", 4),
                                             RawLeaf("a", 2), RawLeaf("c", 5), RawLeaf("d")}));
  EXPECT_EQ(Parents(mixed), (std::vector<int32_t>{0, 0, 1, 1, 1, 1}));
}

TEST(UtfTree, LoopingChainsEndTheirWalks) {
  // The root's chain loops: lookups end.
  const TNodesList loop = Read(BuildUtfRaw({RawFolder("\\", 1), RawLeaf("a", 2), RawLeaf("b", 1)}));
  EXPECT_EQ(loop.FindChild(0, "b"), 2);
  EXPECT_EQ(loop.FindChild(0, "zz"), -1);
  EXPECT_EQ(loop.FindPath("\\a\\x"), -1);
  EXPECT_EQ(loop.FindPath("\\zz"), -1);

  // A loop reached by the parent repairs is damage.
  TNodesList nodes;
  EXPECT_THROW(ReadUtfImage(BuildUtfRaw({RawFolder("\\", 1), RawFolder("F", 4), RawLeaf("p", 3),
                                         RawLeaf("q", 2), RawLeaf("r", 2)}),
                            nodes),
               ERangeError);

  // So are chains that merge, which a tree never has: here every folder's
  // only child continues into one shared chain stored before it.
  const int32_t k = 300;  // folders 1..k, chain k+1..2k, children 2k+1..3k
  std::vector<TRawNode> merged{RawFolder("\\", 1)};
  for (int32_t f = 1; f <= k; ++f) merged.push_back(RawFolder("F", 2 * k + f, f < k ? f + 1 : 0));
  for (int32_t c = k + 1; c <= 2 * k; ++c) merged.push_back(RawLeaf("c", c == k + 1 ? 0 : c - 1));
  for (int32_t f = 1; f <= k; ++f) merged.push_back(RawLeaf("x", 2 * k));
  EXPECT_THROW(ReadUtfImage(BuildUtfRaw(merged), nodes), ERangeError);

  // Merged chains that the repairs never walk are read, and each folder
  // still finds the first match along its own chain.
  const TNodesList join = Read(BuildUtfRaw({RawFolder("\\", 1), RawFolder("A", 3, 2), RawFolder("B", 4),
                                            RawLeaf("a", 4), RawLeaf("b", 5), RawLeaf("c")}));
  EXPECT_EQ(join.FindChild(1, "c"), 5);
  EXPECT_EQ(join.FindChild(1, "a"), 3);
  EXPECT_EQ(join.FindChild(2, "a"), -1);
  EXPECT_EQ(join.FindChild(2, "C"), 5);
}

TEST(UtfTree, LookupsByChildAndPath) {
  const TNodesList nodes = Read(BuildUtf({
      Folder("Ship.3db", {Folder("MultiLevel", {Folder("Level0", {Leaf("VMeshPart", {1})})})}),
      Folder("Cmpnd", {Folder("Cons", {Leaf("Fix", {1})}), Folder("Root", {})}),
      Folder("Cons", {}),
      Folder("a\\b", {Leaf("x", {1})}),
      Folder("'q\\r'", {Leaf("y", {1})}),
      Folder("it's", {Leaf("z", {1})}),
  }));
  // 0 \, 1 Ship.3db, 2 MultiLevel, 3 Level0, 4 VMeshPart, 5 Cmpnd, 6 Cons,
  // 7 Fix, 8 Root, 9 Cons, 10 a\b, 11 x, 12 'q\r', 13 y, 14 it's, 15 z.
  EXPECT_EQ(nodes.FindChild(0, "CMPND"), 5);
  EXPECT_EQ(nodes.FindChild(5, "root"), 8);
  EXPECT_EQ(nodes.FindChild(5, "Fix"), -1);  // not in its own chain
  EXPECT_EQ(nodes.FindChild(7, "x"), -1);    // a data node
  EXPECT_EQ(nodes.FindChild(8, "x"), -1);    // a folder without children
  EXPECT_EQ(nodes.FindChild(-1, "Cmpnd"), -1);
  EXPECT_EQ(nodes.FindChild(99, "Cmpnd"), -1);

  EXPECT_EQ(nodes.FindPath("\\Ship.3db\\MultiLevel\\Level0\\VMeshPart"), 4);
  EXPECT_EQ(nodes.FindPath("ship.3db\\multilevel"), 2);
  EXPECT_EQ(nodes.FindPath("\\Ship.3db\\\\MultiLevel\\"), 2);
  EXPECT_EQ(nodes.FindPath("\\Ship.3db\r\nMultiLevel\rLevel0\n"), 3);
  EXPECT_EQ(nodes.FindPath("\\Ship.3db\\Nothing\\Level0"), -1);
  EXPECT_EQ(nodes.FindPath("\\"), 0);
  EXPECT_EQ(nodes.FindPath("\\\\"), 0);
  EXPECT_EQ(nodes.FindPath("\r\n\\"), 0);
  // Without a backslash: the first node of that name anywhere.
  EXPECT_EQ(nodes.FindPath("cons"), 6);
  EXPECT_EQ(nodes.FindPath("FIX"), 7);
  EXPECT_EQ(nodes.FindPath("nothing"), -1);
  // A backslash inside matching quotes does not split, the quotes stay.
  EXPECT_EQ(nodes.FindPath("\\'Q\\R'\\y"), 13);
  EXPECT_EQ(nodes.FindPath("\\\"q\\r\"\\y"), -1);
  // Outside quotes a backslash always splits, and a lone quote is an
  // ordinary character.
  EXPECT_EQ(nodes.FindPath("\\a\\b\\x"), -1);
  EXPECT_EQ(nodes.FindPath("\\IT'S\\z"), 15);
}

TEST(UtfTree, LookupsStayFastForLargeTrees) {
  // Walking the chain for each lookup would take over 10^9 steps here.
  constexpr int kCount = 50000;
  std::vector<TNodeSpec> leaves;
  leaves.reserve(kCount);
  for (int i = 0; i < kCount; ++i) leaves.push_back(Leaf("Part_" + std::to_string(i), {1}));
  const TNodesList nodes = Read(BuildUtf({Folder("Parts", std::move(leaves))}));
  ASSERT_EQ(nodes.Count(), kCount + 2);
  for (int i = 0; i < kCount; ++i) {
    ASSERT_EQ(nodes.FindChild(1, "part_" + std::to_string(i)), i + 2);
    ASSERT_EQ(nodes.FindPath("PART_" + std::to_string(i)), i + 2);
  }
  EXPECT_EQ(nodes.FindPath("\\parts\\part_49999"), kCount + 1);
}

TEST(UtfTree, DamagedImagesAreRangeFailures) {
  TNodesList nodes;
  const Bytes good = TableAtEnd(BuildUtf({Folder("F", {Leaf("a", {1, 2, 3, 4})}), Leaf("b", {5, 6})}));
  EXPECT_TRUE(ReadUtfImage(good, nodes));

  // The last entry runs over the end; the entries before it stay.
  EXPECT_THROW(ReadUtfImage(Bytes(good.begin(), good.end() - 1), nodes), ERangeError);
  EXPECT_EQ(nodes.Count(), 3);

  auto damaged = [&](size_t offset, uint32_t value) {
    Bytes img = good;
    SetU32(img, offset, value);
    TNodesList list;
    EXPECT_THROW(ReadUtfImage(img, list), ERangeError) << "offset " << offset << " value " << value;
  };
  const size_t table = GetU32(good, kNodeBlockOffsetAt);
  const auto size = static_cast<uint32_t>(good.size());
  damaged(kNodeBlockOffsetAt, size);           // table beyond the end
  damaged(kStringBlockOffsetAt, size);         // names beyond the end
  damaged(kStringBlockOffsetAt, 0xFFFFFFFFu);  // name offset sum overflows
  damaged(table + 44 * 2 + kNameAt, size);     // one name beyond the end
  damaged(kDataBlockOffsetAt, size);           // data beyond the end
  damaged(kDataBlockOffsetAt, 0xFFFFFFF0u);    // data offset sum overflows
  damaged(table + 44 * 3 + kChildOrDataAt, size - GetU32(good, kDataBlockOffsetAt) - 1);  // data over the end
  damaged(table + 44 * 3 + kUsedSizeAt, 0x80000000u);                                     // 2 GB or more
  damaged(table + 44 * 1 + kChildOrDataAt, 44 * 4);  // child outside the table
  damaged(table + 44 * 1 + kSiblingAt, 44 * 4);      // sibling outside the table
  damaged(kNodeBlockOffsetAt, 0xFFFFFFF0u);          // entry offset sum overflows

  // A name without NUL stops at the end of the image.
  Bytes unterminated = good;
  unterminated.push_back('Z');
  SetU32(unterminated, table + 44 * 3 + kNameAt,
         static_cast<uint32_t>(unterminated.size() - 1) - GetU32(good, kStringBlockOffsetAt));
  EXPECT_TRUE(ReadUtfImage(unterminated, nodes));
  EXPECT_EQ(nodes[3].Name, "Z");

  // Millions of entries claimed by a tiny file fail at the first entry
  // outside the image, without memory for the claim.
  for (const uint32_t claimed : {44u * 5000000u, 0xFFFFFFFFu}) {
    Bytes huge = good;
    SetU32(huge, kNodeBlockSizeAt, claimed);
    EXPECT_THROW(ReadUtfImage(huge, nodes), ERangeError);
    EXPECT_EQ(nodes.Count(), 4);
  }
}

TEST(UtfTree, ReadUtfTreeListsTheNodes) {
  TDbgRun t;
  const Bytes image = BuildUtf({Folder("Lod0", {Leaf("VMeshData", {1, 2, 3, 4})}), Leaf("Info", {1, 2, 3})});
  EXPECT_TRUE(ReadUtfTree(image, t.Nodes, t.Ctx));
  // Read twice, the same image gives the same tree and the same listings.
  EXPECT_TRUE(ReadUtfTree(image, t.Nodes, t.Ctx));
  EXPECT_EQ(t.Nodes.Count(), 4);
  const std::string listings =
      "idx =    0 \"\\\";  DataSize = 0;  ChildIdx = 1;  Parent = 0\r\n"
      "idx =    1 \"Lod0\";  DataSize = 0;  ChildIdx = 2;  Parent = 0\r\n"
      "idx =    2 \"VMeshData\";  DataSize = 4;  ChildIdx = 0;  Parent = 1\r\n"
      "idx =    3 \"Info\";  DataSize = 3;  ChildIdx = 0;  Parent = 0\r\n"
      "\r\n\r\n"
      "idx =    2; parent = \"Lod0\";  node.name = \"VMeshData\";  DataSize = 4\r\n"
      "\r\n\r\n";
  EXPECT_EQ(t.DbgText(), listings + listings);

  // No mesh data node: false, after the listings.
  TDbgRun noMesh(false);
  const Bytes noMeshImage = BuildUtf({Leaf("vmeshdatax", {1})});
  EXPECT_FALSE(ReadUtfTree(noMeshImage, noMesh.Nodes, noMesh.Ctx));
  EXPECT_EQ(noMesh.Nodes.Count(), 2);
}

}  // namespace
