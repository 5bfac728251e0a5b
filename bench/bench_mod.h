#pragma once
// The material files of a modification, as a user names them all on the
// command line for every model: 100 files, 38 MB in all, from 1 KB to
// 3.8 MB (median about 90 KB), naming about 850 materials and holding about
// 530 images (about 98 % of the bytes, 95 % of those DDS), with about one
// material and one image in six found in more than one file, as happens
// when a mod ships packs that overlap. Built from a fixed seed: the same
// files on every run and every machine.

#include <cstdint>
#include <string>
#include <vector>

#include "cmp_builder.h"

namespace bwbench {

using bwtest::Bytes;

// One image of a texture library.
struct TModTexture {
  std::string Name;  // the entry's name, as a dt_name text names it: "x.dds" or "x.tga"
  bool Dds = true;
  uint16_t Width = 0, Height = 0;
  uint8_t Format = 0;  // DDS: 1 for DXT1, 5 for DXT5; TGA: bits per pixel
  uint32_t Size = 0;   // bytes of the image
};

// One material: its folder's name and the text of its dt_name leaf.
struct TModMaterial {
  std::string Name;
  std::string TextureName;
};

struct TModFile {
  std::string Name;                 // "m000.mat"
  std::vector<uint32_t> Materials;  // indices into TMod::Materials
  std::vector<uint32_t> Textures;   // indices into TMod::Textures
};

// The layout of the modification, without its image bytes.
struct TMod {
  std::vector<TModTexture> Textures;
  std::vector<TModMaterial> Materials;
  std::vector<TModFile> Files;
};

// Laid out once, in a few milliseconds.
const TMod& Mod();

// A texture library entry: the folder named after the image, holding it in
// MIPS (DDS) or MIP0 (TGA): a header a viewer would accept (DDS with its
// mipmap chain's size, or TGA), then bytes from a generator seeded by the
// name, so that an image found in two files is the same.
bwtest::TNodeSpec TextureEntry(const TModTexture& texture);

// A material folder as real material files hold it: type, colours, opacity
// and texture name with its flags.
bwtest::TNodeSpec MaterialFolder(const std::string& name, const std::string& textureName);

// File `i` of the modification as it is written to disk.
Bytes ModFile(const TMod& mod, size_t i);

// An image of the given layout, with its size in bytes (for the generator
// and for the models that carry images of their own): DDS when its name
// ends in ".dds", TGA otherwise.
TModTexture Texture(std::string name, uint16_t width, uint16_t height, uint8_t format);

}  // namespace bwbench
