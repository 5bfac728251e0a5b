#pragma once
// Where material lines get their texture names and texture images get their
// bytes: a material file, or the model's own tree. A source is built once,
// by reading its tree, and only read after that, so that conversions side by
// side can share it without locks; it holds no lazy caches.
//
// A material file is read piece by piece: its header, node table and names,
// and the data of its "dt_name" leaves. An image's bytes stay in the file
// until the image is written, and are read then from the file as it was
// when its tree was read, or not at all.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "cmp/utf_tree.h"
#include "support/platform.h"
#include "support/rec_list.h"

namespace bw {

// A material's texture: the name its material lines carry (the "dt_name"
// text without extension) and the text itself, extension kept, which names
// the texture's image.
struct TTexRec {
  uint32_t ID = 0;
  std::string Name;
  std::string Key;
};

// The texture names of one source, the first entry of each material ID.
// Its index is kept up to date as entries are added, so that asking it
// changes nothing.
class TTexList : public TRecList<TTexRec> {
 public:
  // Position of the entry with this ID, or -1.
  int32_t IndexOf(uint32_t id) const;
  // Adds the entry unless its ID is listed; the new position, or -1.
  int32_t AddUnique(TTexRec rec);

 private:
  std::unordered_map<uint32_t, int32_t> FIndex;
};

struct TTexTable {
  TTexList MatTexList;
};

void AddMatTex(TTexTable& tex, uint32_t id, std::string name, std::string key);

// A "dt_name" node of a source's tree, in node order. One without data
// (DataSize 0) names nothing; the others name the texture of the material
// that holds them with their text up to the first NUL.
struct TTexNode {
  int32_t NodeIdx = 0;
  bool Named = false;
  uint32_t ID = 0;
  std::string Material;
  std::string Text;
};

// Where an image lies in its source's file.
struct TImageRef {
  uint32_t Offset = 0;
  uint32_t Size = 0;
};

struct TMatSource {
  // The material file as named; empty for the model's own tree.
  std::string FileName;
  // False for a file that is not a UTF file: it names nothing.
  bool IsUtf = false;
  // The tree could not be read: a conversion that uses the source fails
  // as on a damaged model, where it would have read the tree.
  bool Damaged = false;
  // A material file's tree, for the diagnostics listing: walked, never
  // searched; empty when no listing is asked for. (The model's own tree
  // stays the model's.)
  TNodesList Nodes;
  std::vector<TTexNode> TexNodes;
  TTexTable Tex;
  // The images of the texture libraries, by case-folded entry name.
  std::unordered_map<std::string, TImageRef> Images;
  // The work that finding them cost, charged to each conversion at its
  // first look into them; above the work bound when finding them was
  // stopped there.
  uint64_t IndexCharge = 0;
  // The file's bytes, for the bound on the images written.
  uint64_t FileSize = 0;
  // The file as its tree was read; an image is read only from that file.
  plat::TFileStamp Stamp;
  // The model's own tree: the model's image, which holds its images.
  std::span<const uint8_t> Memory;
};

// Reads a material file's tree into a source. Raises EFOpenError when the
// file cannot be opened (and the range failure for one of 2 GB or more); a
// damaged tree is kept in the source as Damaged. The tree itself is kept
// only `withListing` (for the diagnostics file): a run that writes none
// holds no more of a material file than its names and where its images lie.
TMatSource ReadMatFileSource(const std::string& fileName, bool withListing = true);
// The model's own tree as a source; its images are found only when
// `withImages` (finding them walks the tree).
TMatSource ModelMatSource(const TNodesList& nodes, std::span<const uint8_t> image, bool withImages);

// The image of a texture library entry, by the "dt_name" text (any letter
// case); false when the source holds none.
bool FindImage(const TMatSource& source, std::string_view key, TImageRef& ref);
// The same in the first of `sources` that holds it: its position, or -1.
int32_t FindImageIn(std::span<const TMatSource* const> sources, std::string_view key, TImageRef& ref);

// The first bytes of an image (at most out.size() of them), and the whole
// image handed to `sink` a piece at a time, read from the source's file as
// it was when the tree was read: a file changed since gives the range
// failure, never other bytes.
size_t ReadImageHead(const TMatSource& source, const TImageRef& ref, std::span<uint8_t> out);
void ReadImage(const TMatSource& source, const TImageRef& ref,
               const std::function<void(std::span<const uint8_t>)>& sink);

}  // namespace bw
