#pragma once
// The list that every record list of the program is built on.

#include <cstdint>
#include <vector>

#include "support/errors.h"

namespace bw {

// An ordered, zero-based list of records held by value. Access outside the
// list raises the range failure.
template <class T>
class TRecList {
 public:
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  T& operator[](int32_t i) {
    if (i < 0 || i >= Count()) RaiseRange("list index out of bounds");
    return FItems[static_cast<size_t>(i)];
  }
  const T& operator[](int32_t i) const {
    if (i < 0 || i >= Count()) RaiseRange("list index out of bounds");
    return FItems[static_cast<size_t>(i)];
  }
  T& Add(T rec) {
    FItems.push_back(std::move(rec));
    return FItems.back();
  }
  void FreeAll() { FItems.clear(); }
  void Reserve(size_t n) { FItems.reserve(n); }
  auto begin() { return FItems.begin(); }
  auto end() { return FItems.end(); }
  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }

 protected:
  std::vector<T> FItems;
};

}  // namespace bw
