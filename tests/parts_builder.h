#pragma once
// Builders for compound models: part references and constraint records.

#include "cmp_builder.h"

namespace bwtest {}  // namespace bwtest
