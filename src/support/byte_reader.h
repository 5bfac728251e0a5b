#pragma once
// The one way the program reads file bytes: little-endian values at offsets
// that are checked against the bytes that are there. A read outside raises
// the range failure; no offset sum is formed before it is known to fit.

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "support/errors.h"

namespace bw {

class TByteReader {
 public:
  TByteReader() = default;
  explicit TByteReader(std::span<const uint8_t> bytes) : FBytes(bytes) {}

  size_t Size() const { return FBytes.size(); }
  std::span<const uint8_t> Bytes() const { return FBytes; }

  // True when [offset, offset + count) lies inside the bytes.
  bool Has(size_t offset, size_t count) const {
    return offset <= FBytes.size() && count <= FBytes.size() - offset;
  }
  void Require(size_t offset, size_t count) const {
    if (!Has(offset, count)) RaiseRange("read outside the data");
  }

  uint8_t U8(size_t offset) const {
    Require(offset, 1);
    return FBytes[offset];
  }
  uint16_t U16(size_t offset) const {
    Require(offset, 2);
    return static_cast<uint16_t>(FBytes[offset] | (FBytes[offset + 1] << 8));
  }
  uint32_t U32(size_t offset) const {
    Require(offset, 4);
    return static_cast<uint32_t>(FBytes[offset]) | (static_cast<uint32_t>(FBytes[offset + 1]) << 8) |
           (static_cast<uint32_t>(FBytes[offset + 2]) << 16) |
           (static_cast<uint32_t>(FBytes[offset + 3]) << 24);
  }
  int32_t I32(size_t offset) const { return static_cast<int32_t>(U32(offset)); }
  float F32(size_t offset) const {
    const uint32_t bits = U32(offset);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  std::span<const uint8_t> Sub(size_t offset, size_t count) const {
    Require(offset, count);
    return FBytes.subspan(offset, count);
  }
  // Text from offset up to the first NUL, or up to the end of the bytes.
  std::string CString(size_t offset) const {
    if (offset > FBytes.size()) RaiseRange("text outside the data");
    // No bytes may also mean no storage at all: memchr must not see a null pointer.
    if (offset == FBytes.size()) return {};
    const auto* start = reinterpret_cast<const char*>(FBytes.data()) + offset;
    const size_t avail = FBytes.size() - offset;
    const void* nul = std::memchr(start, 0, avail);
    const size_t len = nul ? static_cast<size_t>(static_cast<const char*>(nul) - start) : avail;
    return std::string(start, len);
  }
  // Text in a fixed field of `width` bytes: up to the first NUL or the whole field.
  std::string FixedText(size_t offset, size_t width) const {
    Require(offset, width);
    return TByteReader(FBytes.subspan(offset, width)).CString(0);
  }

 private:
  std::span<const uint8_t> FBytes;
};

// Checked 32-bit unsigned sum, as the container's offsets are added.
inline uint32_t AddOffsets(uint32_t a, uint32_t b) {
  if (b > UINT32_MAX - a) RaiseRange("offset sum overflows");
  return a + b;
}

}  // namespace bw
