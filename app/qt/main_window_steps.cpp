// The steps as the window runs them: controls read into a request, the
// operation run off the window's thread, its outcome shown.

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QTimer>

#include "app/qt/dialogs.h"
#include "app/qt/main_window.h"
#include "core/column_list.h"
#include "core/numbers.h"
#include "export/run_export.h"
#include "import/import_rows.h"
#include "import/open_workbook.h"
#include "platform/program_folder.h"
#include "processing/delete_keyword_rows.h"
#include "processing/filter_duplicates.h"

namespace tabrovin {
void MainWindow::chooseWorkbook() {
    if (importOptions_.append) return chooseWorkbooksToAppend();
    const std::string folder = windowSettings().value("lastFolder").toString().toStdString();
    chooseWorkbookPath(fileChooser ? fileChooser(kWorkbookFilter, folder)
                                   : qt::openFileDialog(this, kWorkbookFilter, folder));
}

void MainWindow::chooseAtStart(const std::string& path) {
    if (!isReadableFile(pathFromUtf8(path))) return showMessage(noWorkbookChosen());
    chooseWorkbookPath(path);
}

void MainWindow::chooseWorkbookPath(const std::string& path) {
    xlsPath_ = path;
    appendPaths_ = {path};
    if (xlsPath_.empty()) return showMessage(noWorkbookChosen());
    // The chooser starts where the user last looked, whatever was found there.
    windowSettings().setValue("lastFolder", QFileInfo(qs(path)).absolutePath());
    openChosenWorkbook();
}

void MainWindow::rememberWorkbook(const std::string& path) {
    const QFileInfo file(qs(path));
    setWindowTitle(QString::fromUtf8("Tabrovin1.0 - 表格数据导入导出工具 - ") + file.fileName());
}

bool MainWindow::prepareStep(Step step) {
    if (!lockFolder(step)) return false;
    const FolderStamp stampAtStart = knownFolder_;
    caughtUpWithOthers();
    // The choice resets the table and undo takes back whatever came last, so
    // only the steps that act on what the window shows must see it first.
    std::optional<Error> refusal;
    if (step == Step::Import && choiceOverwritten_)
        refusal = Error::refused(
            "选择工作簿后，工作数据表又被其他程序（例如另一个窗口或批处理命令）改动过。"
            "为了不把两个工作簿的行混在一起，请重新选择要导入的工作簿。");
    else if (knownFolder_ != stampAtStart && step != Step::Open && step != Step::Undo)
        refusal = Error::refused(
            "程序文件夹中的工作数据刚被其他程序（例如另一个窗口或批处理命令）改动过，"
            "窗口已显示改动后的内容。请确认后再试一次。");
    if (!refusal) return true;
    folderLock_.reset();
    refuseBeforeStart(step, *refusal);
    return false;
}

void MainWindow::openChosenWorkbook() {
    // The worksheet number typed in Text4: rounded, and below 1 means 1.
    auto n = toInt16(text(TextBox::Text4));
    if (!n) return refuseBeforeStart(Step::Open, n.error());
    chosenOptions_ = importOptions_;
    OpenRequest request{pathFromUtf8(xlsPath_), std::max<int>(*n, 1), nullptr,
                        chosenOptions_.layout, chosenOptions_.append};
    if (!prepareStep(Step::Open)) return;
    list(ListBox::List1)->clear();
    releaseDataView();  // the file is about to be replaced
    const std::string chosen = xlsPath_;
    runStep<OpenReport>(
        Step::Open, [this, request](Progress& p) { return openWorkbook(workspace_, request, p); },
        [this, chosen](const Result<OpenReport>& r) {
            choiceOverwritten_ = false;
            // Only a workbook chosen successfully joins the recent list and the title.
            if (r) {
                rememberWorkbook(chosen);
                rememberRecent(chosen);
            }
            return StepEnd{r && r.value().dataRows >= 1, false};
        },
        [this](const OpenReport& r) {
            for (const auto& h : r.headings) {
                auto* entry = new QListWidgetItem(qs(h), list(ListBox::List1));
                entry->setFlags(entry->flags() | Qt::ItemIsUserCheckable);
                entry->setCheckState(Qt::Checked);
            }
        });
}

void MainWindow::startImport() {
    if (chosenOptions_.append) return startAppend();
    ImportRequest request;
    request.layout = chosenOptions_.layout;
    request.workbook = pathFromUtf8(xlsPath_);
    auto n = toInt16(text(TextBox::Text4));      // rounded; below 1 means 1
    auto pause = toInt32(text(TextBox::Text5));  // rounded
    if (!n || !pause) return refuseBeforeStart(Step::Import, n ? pause.error() : n.error());
    request.sheet = std::max<int>(*n, 1);
    request.pauseEvery = *pause;
    for (int i = 0; i < list(ListBox::List1)->count(); ++i) {
        QListWidgetItem* item = list(ListBox::List1)->item(i);
        if (item->checkState() != Qt::Checked) continue;
        request.positions.push_back(i + 1);
        request.headings.push_back(item->text().toStdString());
    }
    if (request.positions.empty()) return refuseBeforeStart(Step::Import, Error::noColumnTicked());
    if (!prepareStep(Step::Import)) return;
    const FolderStamp before = knownFolder_;
    runStep<ImportReport>(
        Step::Import, [this, request](Progress& p) { return importRows(workspace_, request, p); },
        [this, before](const Result<ImportReport>&) {
            // Rows kept by a stopped import are named on disk too.
            fillColumnChooser(column_list::load(workspace_.paths.columnList()));
            return StepEnd{false, FolderStamp::of(workspace_.paths).tableDiffers(before)};
        },
        [this](const ImportReport&) { showMessage(importDone()); });
}

void MainWindow::startDedupe() {
    auto pause = toInt32(text(TextBox::Text5));  // rounded
    if (!pause) return refuseBeforeStart(Step::Dedupe, pause.error());
    DedupeRequest request{combo_->currentIndex(), *pause};
    applyCleaning(request);
    if (!prepareStep(Step::Dedupe)) return;
    runStep<DedupeReport>(
        Step::Dedupe,
        [this, request](Progress& p) { return filterDuplicates(workspace_, request, p); }, nullptr,
        [this](const DedupeReport& r) {
            setCaption(Label::Label6, std::to_string(r.left));
            setCaption(Label::Label8, std::to_string(r.left));
            showMessage(rowsLeft(r.left));
        });
}

void MainWindow::startDelete() {
    DeleteRequest request{combo_->currentIndex(), text(TextBox::Text2)};
    applyCleaning(request);
    if (!prepareStep(Step::Delete)) return;
    runStep<DeleteReport>(
        Step::Delete,
        [this, request](Progress& p) { return deleteKeywordRows(workspace_, request, p); }, nullptr,
        [this](const DeleteReport& r) { showMessage(rowsLeft(r.left)); });
}

void MainWindow::startExport() {
    // Nothing chosen: said before anything else, the buttons untouched.
    if (exportLists_.chosen.empty()) return showMessage({"没有要导出的列!"});
    // Rows per workbook, rounded as the other boxes are; letters are the
    // step's error, and a count that would lose rows is refused.
    auto rows =
        parseTypedNumber(text(TextBox::Text1), NumberRule::RoundFraction, INT32_MIN, INT32_MAX);
    if (!rows) return refuseBeforeStart(Step::Export, rows.error());
    ExportRequest request{exportLists_.chosen, static_cast<int32_t>(*rows)};
    if (!applyExportOptions(request)) return;
    if (!prepareStep(Step::Export)) return;
    runStep<ExportReport>(
        Step::Export, [this, request](Progress& p) { return runExport(workspace_, request, p); },
        nullptr,
        [this](const ExportReport& r) {
            lastSplitFolder_ = r.folder;
            showMessage(exportDone(r));
        });
}

void MainWindow::renderExportLists() {
    for (auto [l, entries] : {std::pair{ListBox::List2, &exportLists_.available},
                              std::pair{ListBox::List3, &exportLists_.chosen}}) {
        list(l)->clear();
        for (const auto& c : *entries) list(l)->addItem(qs(makeEntry(c)));
    }
    buttons_[1]->setText(exportLists_.moveAllForward ? ">>" : "<<");
    refreshSplitColumns();
}

void MainWindow::showExportView() {
    showView(View::Export);
    rebuildExportLists();
    state_.exportListsRebuilt();
    applyState();
}

void MainWindow::rebuildExportLists() {
    exportLists_ = ExportLists::fromColumnNames(columnNames_);
    renderExportLists();
    setText(TextBox::Text3, "");
}

void MainWindow::moveAllExportColumns() {
    exportLists_.moveAll();
    renderExportLists();
    setText(TextBox::Text3, "");
}

void MainWindow::moveSelected(ListBox from) {
    const int at = list(from)->currentRow();
    const bool moved =
        from == ListBox::List2 ? exportLists_.moveToExport(at) : exportLists_.moveBack(at);
    if (!moved) return;
    renderExportLists();
    setText(TextBox::Text3, "");
}

void MainWindow::loadSelectedHeading() {
    const int at = list(ListBox::List3)->currentRow();
    if (at < 0 || at >= static_cast<int>(exportLists_.chosen.size())) return;
    clickedColumn_ = exportLists_.chosen[at].column;
    clickedPosition_ = at;
    setText(TextBox::Text3, exportLists_.chosen[at].heading);
    setCaption(Label::Label15, std::to_string(clickedColumn_));
    setCaption(Label::Label16, std::to_string(at));
}

void MainWindow::renameExportHeading() {
    Status st = exportLists_.rename(clickedPosition_, clickedColumn_, text(TextBox::Text3));
    if (!st.ok()) return showMessage(errorMessage(Step::Export, st.error()));
    renderExportLists();
    setText(TextBox::Text3, "");
    showMessage(headingRenamed());
}

void MainWindow::connectEvents() {
    using Handler = void (MainWindow::*)();
    const Handler handlers[kButtonCount] = {
        &MainWindow::renameExportHeading, &MainWindow::moveAllExportColumns,
        &MainWindow::startExport,         &MainWindow::startDelete,
        &MainWindow::startDedupe,         &MainWindow::startImport,
        &MainWindow::chooseWorkbook};
    for (int i = 0; i < kButtonCount; ++i) {
        connect(buttons_[i], &QPushButton::clicked, this, handlers[i]);
        buttons_[i]->installEventFilter(this);
    }
    connect(menu_[0], &QAction::triggered, this, [this] { showView(View::ImportAndProcessing); });
    connect(menu_[1], &QAction::triggered, this, &MainWindow::showExportView);
    connect(list(ListBox::List2), &QListWidget::itemDoubleClicked, this,
            [this] { moveSelected(ListBox::List2); });
    // A click or the arrow keys: whatever makes an entry current loads it.
    connect(list(ListBox::List3), &QListWidget::currentRowChanged, this,
            &MainWindow::loadSelectedHeading);
    connect(list(ListBox::List3), &QListWidget::itemClicked, this,
            &MainWindow::loadSelectedHeading);
    connect(list(ListBox::List3), &QListWidget::itemDoubleClicked, this,
            [this] { moveSelected(ListBox::List3); });
    connect(cancelButton_, &QPushButton::clicked, this, &MainWindow::cancelOperation);
    cancelButton_->installEventFilter(this);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &MainWindow::cancelOperation);
    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(40);
    connect(progressTimer_, &QTimer::timeout, this, &MainWindow::relayProgress);
}

}  // namespace tabrovin
