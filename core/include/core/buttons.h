#pragma once
// The enabled state of the seven command buttons, set by lists of indexes.

#include <array>
#include <string_view>

namespace tabrovin {

constexpr int kButtonCount = 7;  // cmd(0) .. cmd(6)
using ButtonStates = std::array<bool, kButtonCount>;

// `list` holds button indexes separated by commas, compared as whole items
// ("19" and "55" name no button). Mode 0: the listed buttons are enabled and
// all others disabled; mode 1: the listed ones disabled, all others enabled.
ButtonStates buttonStates(std::string_view list, int mode);

// The lists the steps use.
constexpr std::string_view kNoButton = "19";
constexpr std::string_view kNoButtonAlt = "55";
constexpr std::string_view kImportButton = "5";

}  // namespace tabrovin
