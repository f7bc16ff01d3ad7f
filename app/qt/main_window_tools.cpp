// The tools around the three steps: a view of the working table, undo of the
// last step, the export folder, recent workbooks and dropped files.

#include <QAction>
#include <QComboBox>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QUrl>
#include <QVBoxLayout>

#include "app/qt/background_work.h"
#include "app/qt/data_view.h"
#include "app/qt/main_window.h"
#include "core/table_page.h"
#include "core/undo.h"

namespace tabrovin {
namespace {

constexpr int kRecentCount = 8;

}  // namespace

void MainWindow::buildToolsMenu() {
    tools_ = menuBar()->addMenu(QString::fromUtf8("工具"));
    tools_->setObjectName(QStringLiteral("toolsMenu"));
    auto add = [this](const char* name, const char* text, void (MainWindow::*slot)()) {
        QAction* a = tools_->addAction(QString::fromUtf8(text), this, slot);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    viewData_ = add("viewData", "查看数据", &MainWindow::showDataView);
    undo_ = add("undoStep", "撤销上一步", &MainWindow::undoStep);
    exportFolder_ = add("openExportFolder", "打开导出文件夹", &MainWindow::openExportFolder);
    recent_ = tools_->addMenu(QString::fromUtf8("最近的工作簿"));
    recent_->setObjectName(QStringLiteral("recentWorkbooks"));
    // Where the files are: beside the program, or the user's data folder
    // when installed; a user looking for data.mdb or the exports finds it here.
    exportFolder_->setToolTip(qs(utf8FromPath(workspace_.paths.exportDir())));
    tools_->setToolTipsVisible(true);
    tools_->addSeparator();
    guide_ = add("userGuide", "使用说明", &MainWindow::showUserGuide);
    tools_->addSeparator();
    QAction* shown = tools_->addAction(QString::fromUtf8("程序文件夹：") +
                                       qs(utf8FromPath(workspace_.paths.folder())));
    shown->setObjectName(QStringLiteral("programFolder"));
    shown->setEnabled(false);
    connect(tools_, &QMenu::aboutToShow, this, &MainWindow::refreshToolsMenu);
}

void MainWindow::refreshToolsMenu() {
    state_.setUndoAvailable(canUndo(workspace_.paths));
    fillRecentMenu();
    applyState();
}

void MainWindow::showDataView() {
    if (!state_.allows(Control::ViewData)) return;
    if (!dataWindow_) {
        dataWindow_ = new QWidget(this, Qt::Window);
        dataWindow_->setObjectName(QStringLiteral("dataWindow"));
        dataWindow_->setWindowTitle(QString::fromUtf8("查看数据 - 工作数据表"));
        dataView_ = new DataView(dataWindow_);
        auto* layout = new QVBoxLayout(dataWindow_);
        layout->addWidget(dataView_);
        dataWindow_->resize(720, 480);
    }
    dataWindow_->show();
    dataWindow_->raise();
    refreshDataView();
}

void MainWindow::refreshDataView() {
    if (dataWindow_ && dataWindow_->isVisible())
        dataView_->reload(workspace_.paths.workingDb(), columnNames_);
}

void MainWindow::releaseDataView() {
    if (dataView_) dataView_->release();
}

void MainWindow::showTableRowCount(bool alsoImported) {
    // After a restart the counter shows what the table really holds. A
    // table that cannot be read leaves the counters as they are.
    rowCounter_->start(
        [database = workspace_.paths.workingDb()]() -> Result<int64_t> {
            TablePageReader reader;
            TABROVIN_TRY(reader.open(database, 0));
            return reader.rowCount();
        },
        [this, alsoImported](const Result<int64_t>& rows) {
            if (!rows.ok()) return;
            setCaption(Label::Label6, std::to_string(rows.value()));
            if (alsoImported) setCaption(Label::Label8, std::to_string(rows.value()));
        });
}

void MainWindow::undoStep() {
    if (!state_.allows(Control::Undo) || !prepareStep(Step::Undo)) return;
    releaseDataView();
    runStep<UndoReport>(
        Step::Undo, [this](Progress&) { return undoLastStep(workspace_); }, nullptr,
        [this](const UndoReport& r) {
            // Every display shows the restored table; a fresh choice lists
            // columns again.
            list(ListBox::List1)->clear();
            reloadFromFolder();
            showMessage(undoDone(r));
        });
}

void MainWindow::openExportFolder() {
    auto folder = workspace_.paths.exportDir();
    std::error_code ec;
    // After a split, its own folder: that is where the files just went.
    if (const auto split = folder / pathFromUtf8(lastSplitFolder_);
        !lastSplitFolder_.empty() && std::filesystem::is_directory(split, ec))
        folder = split;
    if (!std::filesystem::is_directory(folder, ec))
        return showMessage({"找不到导出文件夹“" + utf8FromPath(folder) +
                                "”。导出时会用到它，请先在程序文件夹中建立它。",
                            kProgramTitle, Icon::Exclamation});
    if (!(folderOpener ? folderOpener(utf8FromPath(folder))
                       : QDesktopServices::openUrl(QUrl::fromLocalFile(qs(utf8FromPath(folder))))))
        showMessage({"无法用桌面的文件管理器打开导出文件夹“" + utf8FromPath(folder) +
                         "”。请在文件管理器中自己打开它。",
                     kProgramTitle, Icon::Exclamation});
}

void MainWindow::rememberRecent(const std::string& path) {
    QSettings settings = windowSettings();
    QStringList recent = settings.value("recent").toStringList();
    recent.removeAll(QString::fromStdString(path));
    recent.prepend(QString::fromStdString(path));
    while (recent.size() > kRecentCount) recent.removeLast();
    settings.setValue("recent", recent);
}

void MainWindow::fillRecentMenu() {
    recent_->clear();
    QStringList recent = windowSettings().value("recent").toStringList();
    while (recent.size() > kRecentCount) recent.removeLast();
    for (const QString& path : recent)
        recent_->addAction(path, this, [this, path] { chooseRecent(path); });
    state_.setRecentAvailable(!recent.isEmpty());
}

void MainWindow::forgetRecent(const QString& path) {
    QSettings settings = windowSettings();
    QStringList recent = settings.value("recent").toStringList();
    recent.removeAll(path);
    settings.setValue("recent", recent);
}

void MainWindow::chooseRecent(const QString& path) {
    if (!state_.allows(Control::Recent)) return;
    // Refused before anything is reset: a workbook that is gone is no choice.
    if (!QFileInfo(path).isFile()) {
        forgetRecent(path);
        refreshToolsMenu();
        return showMessage({"找不到最近用过的工作簿“" + path.toStdString() +
                                "”，它可能已被移动或删除。已把它从列表中去掉。",
                            kProgramTitle, Icon::Exclamation});
    }
    chooseFromOutside(path.toStdString());
}

void MainWindow::chooseFromOutside(const std::string& path) {
    // A choice resets the table that the export lists were built from: show
    // the step it belongs to, as its menu entry would.
    if (state_.view() == View::Export) showView(View::ImportAndProcessing);
    chooseWorkbookPath(path);
}

namespace {

// The local files a drop carries, none when it carries anything else;
// several only for an append.
std::vector<std::string> droppedFiles(const QMimeData* data, bool several) {
    const QList<QUrl> urls = data->urls();
    std::vector<std::string> paths;
    if (urls.isEmpty() || (urls.size() > 1 && !several)) return paths;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile() || QFileInfo(url.toLocalFile()).isDir()) return {};
        paths.push_back(url.toLocalFile().toStdString());
    }
    return paths;
}

}  // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (state_.allows(Control::Drops) &&
        !droppedFiles(event->mimeData(), importOptions_.append).empty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const auto paths = droppedFiles(event->mimeData(), importOptions_.append);
    if (!state_.allows(Control::Drops) || paths.empty()) return;
    event->acceptProposedAction();
    chooseFromOutside(paths.front());
    if (paths.size() > 1 && !xlsPath_.empty()) appendPaths_ = paths;
}

}  // namespace tabrovin
