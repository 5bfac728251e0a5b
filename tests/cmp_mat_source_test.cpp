#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "cmp/mat_source.h"
#include "cmp_builder.h"
#include "output/textures.h"
#include "support/context.h"
#include "support/errors.h"
#include "support/file_reader.h"
#include "test_support.h"

using namespace bw;
using namespace bwtest;

namespace {

Bytes Filled(size_t size, uint8_t first) {
  Bytes b(size);
  for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(first + i * 7);
  return b;
}

// Materials named in a library of several thousand nodes (so that the node
// table and the names span the reader's windows), and a texture library
// whose entries show every rule of finding an image.
Bytes LargeMatFile() {
  std::vector<TNodeSpec> materials;
  for (int i = 0; i < 1500; ++i)
    materials.push_back(Folder("mat" + std::to_string(i), {TextLeaf("dt_name", "tex" + std::to_string(i) + ".tga")}));
  materials.push_back(Folder("Hull", {TextLeaf("Dt_name", "Hull.DDS")}));
  std::vector<TNodeSpec> library = {
      Folder("hull.dds", {Leaf("MIP0", Filled(10, 1)), Leaf("MIPS", Filled(100000, 2))}),
      Folder("b.tga", {Leaf("MIPS", {}), Leaf("MIP0", Filled(20, 3))}),
      Folder("c.tga", {Folder("MIPS", {})}),
      Folder("C.TGA", {Leaf("MIP0", Filled(30, 4))}),
  };
  return BuildUtf({Folder("material library", materials), Folder("Texture library", library)});
}

// The node fields both ways of reading must agree on.
std::string Fields(const TNodesList& nodes) {
  std::string s;
  for (const TUtfNode& n : nodes)
    s += n.Name + " " + std::to_string(n.ChildIdx) + " " + std::to_string(n.SiblingIdx) + " " +
         std::to_string(n.ParentIdx) + " " + std::to_string(n.IsLeaf) + " " + std::to_string(n.DataSize) + " " +
         std::to_string(n.UsedSize) + " " + std::to_string(n.HasData) + " " + std::to_string(n.DataOffset) +
         " " + std::to_string(n.DataLen) + "\n";
  return s;
}

// The verdict of a reading: false, the nodes, or "raised".
template <class TRead>
std::string Verdict(TRead read) {
  TNodesList nodes;
  try {
    return read(nodes) ? Fields(nodes) : "false";
  } catch (const ERangeError&) {
    return "raised";
  }
}

std::optional<Bytes> Image(const TMatSource& source, const std::string& key) {
  TImageRef ref;
  if (!FindImage(source, key, ref)) return std::nullopt;
  Bytes bytes;
  ReadImage(source, ref, [&](std::span<const uint8_t> piece) { bytes.insert(bytes.end(), piece.begin(), piece.end()); });
  return bytes;
}

}  // namespace

TEST(MatSource, FileReadInPiecesGivesTheWholeImagesVerdict) {
  TTempDir dir;
  const Bytes whole = LargeMatFile();
  ASSERT_GT(whole.size(), 3 * TFileReader::kWindowSize);
  // Cut short anywhere, and with table entries pointing elsewhere.
  std::vector<Bytes> cases = {whole};
  for (size_t cut : {size_t{4}, size_t{8}, size_t{0x30}, size_t{70000}, size_t{130000}, whole.size() - 1})
    cases.emplace_back(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
  for (const auto& [at, value] : std::vector<std::pair<size_t, uint32_t>>{
           {kNodeBlockSizeAt, 0xFFFFFFF0}, {EntryAt(1500) + kNameAt, 0xFFFF}, {EntryAt(7) + kSiblingAt, 44 * 3},
           {EntryAt(3000) + kChildOrDataAt, 0x7FFFFFFF}, {EntryAt(2) + kUsedSizeAt, 0xFFFFFF}}) {
    cases.push_back(whole);
    SetU32(cases.back(), at, value);
  }
  for (size_t i = 0; i < cases.size(); ++i) {
    WriteFileBytes(dir.File("m.mat"), cases[i]);
    TFileReader file(dir.File("m.mat"));
    const std::string inMemory = Verdict([&](TNodesList& n) { return ReadUtfImage(cases[i], n); });
    EXPECT_EQ(Verdict([&](TNodesList& n) { return ReadUtfFile(file, n); }), inMemory) << "case " << i;
  }
}

TEST(MatSource, AnswersNamesAndImagesAsTheModelsOwnTreeDoes) {
  TTempDir dir;
  const Bytes bytes = LargeMatFile();
  WriteFileBytes(dir.File("m.mat"), bytes);
  TNodesList nodes;
  ASSERT_TRUE(ReadUtfImage(bytes, nodes));
  const TMatSource fromFile = ReadMatFileSource(dir.File("m.mat"));
  const TMatSource fromModel = ModelMatSource(nodes, bytes, true);
  struct TCase {
    const char* Key;
    std::optional<Bytes> Expected;
  };
  const TCase cases[] = {
      {"HULL.dds", Filled(100000, 2)},  // MIPS before MIP0
      {"b.tga", Filled(20, 3)},         // an empty MIPS is passed over
      {"c.tga", Filled(30, 4)},         // an entry without an image is passed over
      {"tex1.tga", std::nullopt},
  };
  for (const TMatSource* source : {&fromFile, &fromModel}) {
    ASSERT_TRUE(source->IsUtf && !source->Damaged);
    EXPECT_EQ(source->Tex.MatTexList.Count(), 1501);
    const TTexRec& hull = source->Tex.MatTexList[source->Tex.MatTexList.IndexOf(TestNameHash("Hull"))];
    EXPECT_EQ(hull.Name + " " + hull.Key, "Hull Hull.DDS");
    for (const TCase& c : cases) EXPECT_EQ(Image(*source, c.Key), c.Expected) << c.Key;
    EXPECT_EQ(source->IndexCharge, fromFile.IndexCharge);
  }
}

TEST(MatSource, FileChangedSinceItsTreeWasReadGivesTheRangeFailure) {
  const Bytes bytes = LargeMatFile();
  // Another program shortens the file, rewrites it with the same size, or
  // replaces it, after the run has read its tree.
  const std::vector<std::function<void(const std::string&)>> changes = {
      [&](const std::string& path) { fs::resize_file(path, bytes.size() - 5000); },
      [&](const std::string& path) {
        Bytes other = bytes;
        other[other.size() - 100] ^= 0xFF;
        const auto time = fs::last_write_time(path);
        WriteFileBytes(path, other);
        fs::last_write_time(path, time + std::chrono::seconds(2));
      },
      [&](const std::string& path) {
        fs::rename(path, path + ".old");
        WriteFileBytes(path, bytes);
      },
  };
  for (size_t i = 0; i < changes.size(); ++i) {
    TTempDir dir;
    WriteFileBytes(dir.File("m.mat"), bytes);
    const TMatSource source = ReadMatFileSource(dir.File("m.mat"));
    changes[i](dir.File("m.mat"));
    EXPECT_THROW(Image(source, "hull.dds"), ERangeError) << "change " << i;

    // The texture writer stops there too, and leaves no file behind.
    TMaterials materials;
    materials.Sources = {&source};
    TOutputGuard guard;
    TContext ctx;
    TTextureWriter writer((dir.Path() / "").string(), guard, 1u << 30);
    TMatrList block;
    block.AddUnique(TestNameHash("Hull"));
    TImageRecord images;
    EXPECT_THROW(writer.WriteImages(block, materials, TFileSet(), images, ctx), ERangeError) << "change " << i;
    const std::string left = FolderListing(dir.Path());
    EXPECT_TRUE(left == "m.mat;" || left == "m.mat;m.mat.old;") << left;
  }
}
