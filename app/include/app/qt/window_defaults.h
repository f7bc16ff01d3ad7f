#pragma once
// The window's named controls and their initial captions and texts.

#include <string>

#include "app/window_state.h"

namespace tabrovin {

enum class TextBox { Text1, Text2, Text3, Text4, Text5 };
// Labels whose captions or widths the steps change. Label1 is the progress bar.
enum class Label { Label1, Label6, Label7, Label8, Label15, Label16 };
enum class ListBox { List1, List2, List3 };

}  // namespace tabrovin

namespace tabrovin::defaults {

inline std::string initialText(TextBox box) {
    switch (box) {
        case TextBox::Text1:
            return "1000";  // rows per exported workbook
        case TextBox::Text4:
            return "1";  // worksheet number
        case TextBox::Text5:
            return "500";  // rows between pauses
        default:
            return "";
    }
}

constexpr int kBarStartTwips = 90;  // the progress bar's width before any step

inline std::string buttonCaption(int index) {
    static const char* const kCaptions[kButtonCount] = {"修改",
                                                        ">>",
                                                        "5。导出",
                                                        "4.删除相应的行",
                                                        "3.过滤重复",
                                                        "2. 开始导入",
                                                        "1.选择你要导入的Excel"};
    return kCaptions[index];
}

}  // namespace tabrovin::defaults
