// 工具 → 使用说明: the rendered guide in the desktop's browser. It changes
// nothing, so it stays usable while a step runs.

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

#include "app/qt/main_window.h"
#include "app/qt/user_guide.h"

namespace tabrovin {
namespace qt {

QStringList userGuidePlaces(const QString& exeFolder) {
    const QDir exe(exeFolder);
    const QString page = QString::fromUtf8(kUserGuidePage);
    return {QDir::cleanPath(exe.filePath(QStringLiteral("doc/") + page)),
            QDir::cleanPath(exe.filePath(QStringLiteral("../share/doc/tabrovin/") + page))};
}

QString findUserGuide(const QString& exeFolder) {
    for (const QString& place : userGuidePlaces(exeFolder))
        if (QFileInfo(place).isFile()) return place;
    return {};
}

std::optional<Message> openUserGuide(const QString& exeFolder,
                                     const std::function<bool(const QUrl&)>& open) {
    const QString page = findUserGuide(exeFolder);
    if (page.isEmpty()) {
        QString places;
        for (const QString& place : userGuidePlaces(exeFolder))
            places += QStringLiteral("\n") + QDir::toNativeSeparators(place);
        return Message{"找不到使用说明。它应当在以下位置之一：" + places.toStdString() +
                           "\n请重新安装本程序。",
                       kProgramTitle, Icon::Exclamation};
    }
    if (open(QUrl::fromLocalFile(page))) return std::nullopt;
    return Message{"无法打开使用说明：没有找到可以显示网页的浏览器。请用浏览器打开文件\n" +
                       QDir::toNativeSeparators(page).toStdString(),
                   kProgramTitle, Icon::Exclamation};
}

}  // namespace qt

void MainWindow::showUserGuide() {
    if (!state_.allows(Control::Guide)) return;
    const QString folder =
        qt::userGuideFolder ? qt::userGuideFolder() : QCoreApplication::applicationDirPath();
    auto failed = qt::openUserGuide(
        folder, qt::userGuideOpener ? qt::userGuideOpener : [](const QUrl& url) {
            return QDesktopServices::openUrl(url);
        });
    if (failed) showMessage(*failed);
}

}  // namespace tabrovin
