// The tools around the three steps: a view of the working table, undo of the
// last step, the export folder, recent workbooks and dropped files.

#include <QAction>
#include <QComboBox>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QUrl>
#include <QVBoxLayout>

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
    add("viewData", "查看数据", &MainWindow::showDataView);
    undo_ = add("undoStep", "撤销上一步", &MainWindow::undoStep);
    add("openExportFolder", "打开导出文件夹", &MainWindow::openExportFolder);
    recent_ = tools_->addMenu(QString::fromUtf8("最近的工作簿"));
    recent_->setObjectName(QStringLiteral("recentWorkbooks"));
    connect(tools_, &QMenu::aboutToShow, this, [this] {
        undo_->setEnabled(canUndo(workspace_.paths));
        fillRecentMenu();
    });
}

void MainWindow::showDataView() {
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

void MainWindow::showTableRowCount() {
    // After a restart the counter shows what the table really holds.
    TablePageReader reader;
    if (!reader.open(workspace_.paths.workingDb(), 0).ok()) return;
    if (auto rows = reader.rowCount(); rows.ok()) setCaption(Label::Label6, std::to_string(*rows));
}

void MainWindow::undoStep() {
    if (worker_ || !lockFolder()) return;
    releaseDataView();
    runStep<UndoReport>(
        Step::Undo, [this](Progress&) { return undoLastStep(workspace_); },
        [this](const auto&) {
            setButtons(kImportButton, 1);
        },  // a fresh choice is needed to import
        [this](const UndoReport& r) {
            fillColumnChooser(r.columnNames);
            list(ListBox::List1)->clear();
            setCaption(Label::Label6, std::to_string(r.rows));
            refreshDataView();
            showMessage(undoDone(r));
        });
}

void MainWindow::openExportFolder() {
    QDesktopServices::openUrl(
        QUrl::fromLocalFile(QString::fromStdString(utf8FromPath(workspace_.paths.exportDir()))));
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
    const QStringList recent = windowSettings().value("recent").toStringList();
    for (const QString& path : recent)
        recent_->addAction(path, this, [this, path] { chooseRecent(path); });
    recent_->setEnabled(!recent.isEmpty() && !worker_);
}

void MainWindow::chooseRecent(const QString& path) {
    if (worker_) return;
    chooseWorkbookPath(path.toStdString());
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!worker_ && urls.size() == 1 && urls[0].isLocalFile()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (worker_ || urls.size() != 1 || !urls[0].isLocalFile()) return;
    event->acceptProposedAction();
    chooseWorkbookPath(urls[0].toLocalFile().toStdString());
}

}  // namespace tabrovin
