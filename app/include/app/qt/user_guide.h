#pragma once
// The user guide page: found where the build and the package put it,
// relative to the executable, and shown in the desktop's browser.

#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

#include "app/outcomes.h"

namespace tabrovin::qt {

// The page's file name, in doc/ beside the executable of a build or an
// unpacked folder, or in ../share/doc/tabrovin/ of an installed package.
inline constexpr char kUserGuidePage[] = "使用说明.html";

// The places the guide of the executable in `exeFolder` is looked for,
// the first that holds it winning.
QStringList userGuidePlaces(const QString& exeFolder);

// The first of userGuidePlaces that holds the page; empty when none does.
QString findUserGuide(const QString& exeFolder);

// Opens the guide of the executable in `exeFolder` with `open`. Returns the
// message that says why, when the page is missing or `open` fails.
std::optional<Message> openUserGuide(const QString& exeFolder,
                                     const std::function<bool(const QUrl&)>& open);

// Seams for tests: the folder the guide is looked for from (default: the
// executable's) and the opener of its address (default: the desktop's).
inline std::function<QString()> userGuideFolder;
inline std::function<bool(const QUrl&)> userGuideOpener;

}  // namespace tabrovin::qt
