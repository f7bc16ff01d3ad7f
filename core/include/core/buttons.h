#pragma once
// Enabling and disabling the seven command buttons in one call.

#include <string_view>

#include "core/window_port.h"

namespace tabrovin {

// `list` holds button indexes separated by commas, compared as whole items
// ("19" and "55" name no button). Mode 0: the listed buttons are enabled and
// all others disabled; mode 1: the listed ones disabled, all others enabled.
void setButtons(WindowPort& window, std::string_view list, int mode);

// The lists the actions use.
constexpr std::string_view kNoButton = "19";
constexpr std::string_view kNoButtonAlt = "55";
constexpr std::string_view kImportButton = "5";

}  // namespace tabrovin
