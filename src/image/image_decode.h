#pragma once
// The one texel decoding behind every use of an image (its mean colour, its
// reduced copy): the header of a DDS or TGA file checked against the bytes,
// then the texels of one level handed to a sink a piece of a row at a time,
// in the order the file stores them. No caller ever holds a whole level, so
// memory stays bounded whatever size the header claims.

#include <cstdint>
#include <span>

#include "image/image_colour.h"
#include "support/byte_reader.h"

namespace bw {

// Takes the texels of one level as stored: `row` counts stored rows and
// `column` stored columns, whichever way the image is shown (see
// TImageDecoder::BottomUp and RightToLeft). Every texel of the level comes
// exactly once.
class TTexelSink {
 public:
  // Neighbouring texels of one row, from `column` on.
  virtual void Texels(uint32_t row, uint32_t column, std::span<const TRgb> texels) = 0;
  // `count` texels of one colour in one row, from `column` on: a TGA run
  // packet's share of that row, kept whole so a sink may add it at once.
  virtual void Repeat(uint32_t row, uint32_t column, uint32_t count, TRgb colour) = 0;

 protected:
  ~TTexelSink() = default;
};

class TImageDecoder {
 public:
  // Reads the header. False for a form not read here, or for a first level
  // whose bytes are not all there (TGA run packets, whose length the header
  // does not tell, are checked as they are walked).
  bool Open(std::span<const uint8_t> image);

  uint32_t Width(uint32_t level = 0) const;
  uint32_t Height(uint32_t level = 0) const;
  // A TGA file's rows stored from the bottom (descriptor bit 5 clear), its
  // columns from the right (bit 4 set). A DDS file stores its top row
  // first, each row from its left.
  bool BottomUp() const { return FBottomUp; }
  bool RightToLeft() const { return FRightToLeft; }

  // True when the file holds mipmap level `level` whole: the header counts
  // it and its bytes, and those of every level before it, are there. Only a
  // DDS file has levels past 0.
  bool HasLevel(uint32_t level) const;

  // Hands every texel of `level` (one that HasLevel) to the sink. False when
  // the texels turn out damaged on the way (a TGA packet past the image or
  // the bytes, a colour index outside the map); the sink has then had part
  // of them.
  bool Walk(uint32_t level, TTexelSink& sink) const;

  // Past this, a level's sizes are 1 x 1 whatever the first level's are.
  static constexpr uint32_t kMaxLevels = 32;

 private:
  enum class EForm { Dxt, Masked, Tga };
  struct TTgaMap {
    bool Mapped = false;
    size_t At = 0;
    uint32_t First = 0, Count = 0;
    uint8_t Depth = 0;
  };

  bool OpenDds();
  bool OpenTga();
  bool LevelAt(uint32_t level, size_t& at) const;
  bool LevelFits(uint32_t level, size_t at, size_t& bytes) const;
  void WalkDxt(uint32_t level, size_t at, TTexelSink& sink) const;
  void WalkMasked(uint32_t level, size_t at, TTexelSink& sink) const;
  bool WalkTga(TTexelSink& sink) const;
  bool TgaPixel(size_t at, TRgb& colour) const;

  TByteReader FIn;
  EForm FForm = EForm::Dxt;
  uint32_t FWidth = 0, FHeight = 0;
  bool FBottomUp = false, FRightToLeft = false;
  // DDS: where the first level starts, how many levels the header counts.
  size_t FDataAt = 0;
  uint32_t FLevels = 1;
  // DXT: bytes a 4 x 4 block, where its colour half starts; DXT1's own
  // three-colour mode.
  size_t FBlockBytes = 0, FColourAt = 0;
  bool FDxt1 = false;
  // Packed pixels and TGA pixels: bytes a pixel.
  size_t FPixelBytes = 0;
  uint32_t FMasks[3] = {};
  // TGA.
  uint8_t FType = 0, FDepth = 0;
  TTgaMap FMap;
};

}  // namespace bw
