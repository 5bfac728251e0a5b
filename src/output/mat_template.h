#pragma once
// The material-line template language: "%" [argument number ":"] ["-"]
// [width] ["." precision] type, with d, i, u, x for the integer argument and
// s for the string argument, and "%%" for one percent sign.

#include <cstdint>
#include <string>
#include <string_view>

namespace bw {

// Formats `tmpl` with argument 0 the integer `index` and, when `name` is not
// null, argument 1 the string `*name`. False (and `out` unspecified) when a
// conversion does not suit its argument or refers to a missing one.
bool FormatTemplate(std::string_view tmpl, int32_t index, const std::string* name, std::string& out);

}  // namespace bw
