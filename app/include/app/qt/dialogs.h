#pragma once
// The window's modal dialogs and the small conversions they need, kept apart
// from the window so tests can check them without opening anything.

#include <QMessageBox>
#include <QString>
#include <string>

#include "app/outcomes.h"

class QLabel;
class QWidget;

namespace tabrovin::qt {

// Design positions are in twips; the window uses 15 twips per pixel.
constexpr int pixels(int twips) {
    return (twips + 7) / 15;
}

// Grows a label to its text, never below its design size (the property
// "designSize"), so captions and growing counters stay readable.
void fitToText(QLabel* label);

// "name|pattern|name|pattern" as Qt's "name (pattern);;name (pattern)".
// Patterns separated by ';' become space-separated; a name that already
// ends with its pattern in brackets is not given it twice. An odd trailing
// name gets the pattern "*".
QString qtFileFilter(const std::string& filter);

QMessageBox::Icon messageIcon(Icon icon);

// A modal box with one OK button over `parent`; returns when it is closed.
void showMessageBox(QWidget* parent, const std::string& text, const std::string& title, Icon icon);

// The file-open dialog, starting in `folder` (UTF-8; "" for the default);
// the chosen path as UTF-8, or "" when cancelled. The filter's choices are
// shown by name only.
std::string openFileDialog(QWidget* parent, const std::string& filter, const std::string& folder);

// Loads Qt's own Simplified Chinese texts (dialog buttons, file chooser).
void installChineseTranslations();

// The first installed family of the Chinese fonts the window is designed
// for, or "" when none is installed (the default font is then kept).
QString chineseFontFamily();

}  // namespace tabrovin::qt
