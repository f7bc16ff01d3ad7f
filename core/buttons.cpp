#include "core/buttons.h"

#include <cassert>
#include <string>

namespace tabrovin {

ButtonStates buttonStates(std::string_view list, int mode) {
    assert(mode == 0 || mode == 1);
    const std::string padded = "," + std::string(list) + ",";
    const bool listedState = mode == 0;
    ButtonStates states{};
    for (int i = 0; i < kButtonCount; ++i) {
        bool listed = padded.find("," + std::to_string(i) + ",") != std::string::npos;
        states[i] = listed ? listedState : !listedState;
    }
    return states;
}

}  // namespace tabrovin
