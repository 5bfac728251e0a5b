#include "output/textures.h"

#include <algorithm>
#include <array>
#include <span>

#include "support/context.h"
#include "support/errors.h"
#include "support/text_helpers.h"
#include "support/writers.h"

namespace bw {
namespace {

constexpr size_t kMaxTextureName = 200;
constexpr int32_t kImageBufSize = 256 * 1024;
constexpr std::string_view kForbidden = "\\/:*?\"<>|";

bool IsControl(unsigned char c) {
  return c < 32 || c == 127;
}

// Windows opens a device, not a file, for these names, whatever follows
// the first dot: CON, PRN, AUX, NUL, CONIN$, CONOUT$, and COM or LPT with a
// digit or a superscript one, two or three (Latin-1, or UTF-8 after C2).
bool IsDeviceName(std::string_view stem) {
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  const std::string s = UpperCase(stem);
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    if (s == device) return true;
  if (s.size() < 4 || (s.compare(0, 3, "COM") != 0 && s.compare(0, 3, "LPT") != 0)) return false;
  std::string_view tail = std::string_view(s).substr(3);
  if (tail.size() == 1 && tail[0] >= '0' && tail[0] <= '9') return true;
  if (tail.size() == 2 && static_cast<unsigned char>(tail[0]) == 0xC2) tail.remove_prefix(1);
  if (tail.size() != 1) return false;
  const auto c = static_cast<unsigned char>(tail[0]);
  return c == 0xB9 || c == 0xB2 || c == 0xB3;
}

bool IsDds(std::span<const uint8_t> head) {
  static constexpr std::array<uint8_t, 4> kDds{'D', 'D', 'S', ' '};
  return head.size() >= kDds.size() && std::equal(kDds.begin(), kDds.end(), head.begin());
}

}  // namespace

bool IsTextureFileName(std::string_view name) {
  // "." and ".." would write "..dds" and "...dds", plain files, but they
  // name folders, never a texture.
  if (name.empty() || name == "." || name == ".." || name.size() > kMaxTextureName) return false;
  for (char c : name)
    if (IsControl(static_cast<unsigned char>(c)) || kForbidden.find(c) != std::string_view::npos)
      return false;
  return !IsDeviceName(name.substr(0, name.find('.')));
}

std::string ShownTextureName(std::string_view name) {
  std::string shown(name.substr(0, kMaxTextureName));
  for (char& c : shown)
    if (IsControl(static_cast<unsigned char>(c))) c = '?';
  if (name.size() > kMaxTextureName) shown += "...";
  return shown;
}

TTextureWriter::TTextureWriter(std::string folder, const TOutputGuard& guard, uint64_t byteLimit)
    : FFolder(std::move(folder)), FGuard(guard), FByteLimit(byteLimit) {}

void TTextureWriter::WriteImages(const TMatrList& blockMaterials, const TMaterials& materials,
                                 const TFileSet& written, TImageRecord& images, TContext& ctx) {
  for (const TMatrRec& mat : blockMaterials) {
    if (FStopped) return;
    // A material met again in a later block was decided when first met: its
    // image written, skipped or warned about. Deciding it once keeps many
    // blocks sharing long texture names from costing blocks x names.
    if (!FDecided.insert(mat.ID).second) continue;
    const TMatLookup found = LookUpMaterial(materials, mat.ID);
    if (found.Named()) WriteImage(found, materials, written, images, ctx);
  }
}

void TTextureWriter::WriteImage(const TMatLookup& found, const TMaterials& materials, const TFileSet& written,
                                TImageRecord& images, TContext& ctx) {
  const std::string& name = found.Tex().Name;
  if (!IsTextureFileName(name)) return Warn(ctx, kNotFileName, name, "is not a file name.");
  ChargeLook(found, materials, ctx);
  if (!found.HasImage()) return Warn(ctx, kNotFound, name, "not found.");
  const TMatSource* const source = found.ImageSource;
  const TImageRef& image = found.Image;

  std::array<uint8_t, 4> head{};
  const size_t headSize = ReadImageHead(*source, image, head);
  const std::string fileName = name + (IsDds(std::span(head).first(headSize)) ? ".dds" : ".tga");
  std::string folded = LowerCase(fileName);
  if (!FImageNames.insert(folded).second) return;
  const std::string path = FFolder + fileName;
  if (images.Names.count(folded) != 0 || images.Files.Leads(path)) return;
  // An image may replace an earlier run's image, but never an input or a
  // file this run has written.
  GuardOutput(FGuard, path);
  GuardOutput(FGuard.Console, written, path);
  if (image.Size > FByteLimit - FBytesWritten) {
    Warn(ctx, kOverBound, name, "not written: the images exceed the input size.");
    FStopped = true;
    return;
  }
  try {
    TOutputFile file(FGuard, path, kImageBufSize);
    // Straight from the source into the file: a material file changed
    // since its tree was read fails here, and the file is not kept.
    ReadImage(*source, image, [&](std::span<const uint8_t> piece) {
      file.Stream().Write(piece.data(), static_cast<int32_t>(piece.size()));
    });
    file.Commit();
  } catch (const EFCreateError&) {
    // Open in a viewer, or a read-only file: the model's other outputs
    // matter more than one image.
    return Warn(ctx, kNotWritten, name, "not written.");
  }
  FBytesWritten += image.Size;
  ++FImagesWritten;
  images.Names.insert(std::move(folded));
  images.Files.Add(path);
}

void TTextureWriter::ChargeLook(const TMatLookup& found, const TMaterials& materials, TContext& ctx) {
  // Finding a source's images was paid for when it was read; a conversion
  // is charged for it at its first look, as if it searched the source
  // itself: every source up to the one that holds the image.
  const size_t looked = found.HasImage() ? static_cast<size_t>(found.ImageAt) + 1 : materials.Sources.size();
  for (size_t i = 0; i < looked; ++i)
    if (FCharged.insert(materials.Sources[i]).second) ctx.Work.Charge(materials.Sources[i]->IndexCharge);
}

void TTextureWriter::Warn(TContext& ctx, int kind, std::string_view name, std::string_view text) {
  if (!FWarned.emplace(kind, std::string(name)).second) return;
  ++FWarnings[static_cast<size_t>(kind)];
  const bool ofName = kind == kNotFileName;
  ctx.Console.Line(std::string(ofName ? "  Warning : texture name " : "  Warning : texture ") +
                   ShownTextureName(name) + " " + std::string(text));
}

}  // namespace bw
