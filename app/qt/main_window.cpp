#include "app/qt/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSemaphore>
#include <QSettings>
#include <QThread>
#include <QTimer>

#include "app/qt/background_work.h"
#include "app/qt/dialogs.h"
#include "app/qt/window_progress.h"
#include "core/column_list.h"
#include "core/undo.h"
#include "platform/safe_files.h"

namespace tabrovin {

namespace {

constexpr int kBarFullTwips = 6375;

}  // namespace

QSettings MainWindow::windowSettings() const {
    // A few lines of the window's own; more is no settings of ours, and a
    // pipe at that name would stop the window before it appears. Such a
    // file is left alone and the window starts from its defaults.
    constexpr uintmax_t kMaxBytes = 64 * 1024;
    const auto file = workspace_.paths.dataDir() / "window.ini";
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    if (isSpecialFile(file) || (!ec && size > kMaxBytes))
        return QSettings(QString(), QSettings::IniFormat);
    return QSettings(qs(utf8FromPath(file)), QSettings::IniFormat);
}

MainWindow::~MainWindow() {
    if (worker_) {
        progress_->cancel = true;
        worker_->wait();
    }
}

std::string MainWindow::text(TextBox box) const {
    return texts_[static_cast<int>(box)]->text().toStdString();
}

void MainWindow::setText(TextBox box, const std::string& t) {
    texts_[static_cast<int>(box)]->setText(qs(t));
}

void MainWindow::setCaption(Label l, const std::string& c) {
    label(l)->setText(qs(c));
    if (l != Label::Label1) qt::fitToText(label(l));
}

void MainWindow::setBarTwips(int twips) {
    barTwips_ = std::max(twips, 0);
    label(Label::Label1)->resize(qt::pixels(barTwips_), label(Label::Label1)->height());
}

void MainWindow::addOptionControl(QWidget* control) {
    addOptionControl(control, [control](bool on) { control->setEnabled(on); });
}

void MainWindow::addOptionControl(QAction* control) {
    addOptionControl(control, [control](bool on) { control->setEnabled(on); });
}

void MainWindow::addOptionControl(QObject* control, std::function<void(bool)> enable) {
    enable(state_.allows(Control::Options));
    optionControls_.emplace_back(control, std::move(enable));
}

bool MainWindow::counting() const {
    return rowCounter_->pending();
}

void MainWindow::applyState() {
    for (int i = 0; i < kButtonCount; ++i) buttons_[i]->setEnabled(state_.button(i));
    list(ListBox::List1)->setEnabled(state_.allows(Control::List1));
    menu_[0]->setEnabled(state_.allows(Control::MenuImport));
    menu_[1]->setEnabled(state_.allows(Control::MenuExport));
    viewData_->setEnabled(state_.allows(Control::ViewData));
    undo_->setEnabled(state_.allows(Control::Undo));
    exportFolder_->setEnabled(state_.allows(Control::ExportFolder));
    guide_->setEnabled(state_.allows(Control::Guide));
    recent_->setEnabled(state_.allows(Control::Recent));
    cancelButton_->setVisible(state_.cancelShown());
    cancelButton_->setEnabled(state_.allows(Control::Cancel));
    // A control destroyed with its dialog is forgotten here.
    std::erase_if(optionControls_, [](const auto& c) { return c.first.isNull(); });
    for (const auto& [control, enable] : optionControls_) enable(state_.allows(Control::Options));
}

void MainWindow::finishStep(Ending ending, StepEnd end) {
    state_.end(ending, end.listedColumns, end.changedTable);
    state_.setUndoAvailable(canUndo(workspace_.paths));
    applyState();
}

void MainWindow::messageClosed() {
    state_.messageClosed();
    applyState();
}

void MainWindow::refuseBeforeStart(Step step, const Error& e) {
    state_.refusedBeforeStart(step, endingOf(e));
    applyState();
    showMessage(errorMessage(step, e));
    messageClosed();
}

void MainWindow::showMessage(const Message& m) {
    if (messageSink) return messageSink(m);
    qt::showMessageBox(this, m.text, m.title, m.icon);
}

void MainWindow::showView(View v) {
    state_.showView(v);
    const bool exporting = v == View::Export;
    frame2_->setVisible(!exporting);
    frame4_->setVisible(!exporting);
    frame3_->setVisible(exporting);
}

void MainWindow::fillColumnChooser(const std::vector<std::string>& names) {
    columnNames_ = names;
    combo_->clear();
    for (const auto& n : names) combo_->addItem(qs(n));
    combo_->setCurrentIndex(names.empty() ? -1 : 0);
    showCleaningNote();  // it names the added key columns
}

void MainWindow::saveColumnList() {
    Status saved = column_list::save(columnNames_, workspace_.paths.columnList());
    if (!saved.ok()) showMessage({saved.error().description, kProgramTitle, Icon::Critical});
}

void MainWindow::runOperation(Step step, std::function<void(Progress&)> work,
                              std::function<void()> done) {
    progress_ = std::make_unique<WindowProgress>();
    progress_->onPartFailed = [this, progress = progress_.get()](const Error& e) {
        // The worker waits until the box is closed, as the page loop did, but
        // not past a cancel: a window being destroyed waits for the worker
        // and never shows the box. The box dies with the window unshown.
        auto closed = std::make_shared<QSemaphore>();
        QMetaObject::invokeMethod(this, [this, e, closed] {
            showMessage(errorMessage(Step::ExportPage, e));
            closed->release();
        });
        while (!closed->tryAcquire(1, 50) && !progress->cancelled()) {
        }
    };
    done_ = std::move(done);
    shownPauses_ = 0;
    // The step shows its own figures and may replace the file being counted.
    rowCounter_->release();
    state_.begin(step);
    applyState();
    WindowProgress* progress = progress_.get();
    worker_ = QThread::create([work = std::move(work), progress] { work(*progress); });
    connect(worker_, &QThread::finished, this, &MainWindow::operationEnded);
    progressTimer_->start();
    worker_->start();
}

bool MainWindow::lockFolder(Step step) {
    const auto use = step == Step::Export ? FolderLock::Use::Read : FolderLock::Use::Change;
    std::error_code ec;
    // Without a data folder the step itself says what is missing.
    if (!std::filesystem::is_directory(workspace_.paths.dataDir(), ec)) return true;
    auto lock = FolderLock::acquire(workspace_.paths.dataDir(), "Tabrovin 窗口", use);
    if (!lock) {
        refuseBeforeStart(step, lock.error());
        return false;
    }
    folderLock_.emplace(std::move(*lock));
    return true;
}

void MainWindow::cancelOperation() {
    if (!worker_ || !state_.allows(Control::Cancel)) return;
    progress_->cancel = true;
    state_.cancelAsked();
    applyState();
}

void MainWindow::operationEnded() {
    progressTimer_->stop();
    relayProgress();
    worker_->deleteLater();
    worker_ = nullptr;
    folderLock_.reset();
    rememberFolder();  // what this window's own step changed is known
    resetProgressBar();
    auto done = std::move(done_);
    if (quitAfterOperation_) {
        // The step that just ended wrote the column list it changed; the
        // names this window holds are from before it, and must not win.
        workspace_.conn.release();
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        return;
    }
    if (done) done();
    refreshDataView();
    emit operationFinished();
}

void MainWindow::relayProgress() {
    static constexpr Label kLabels[] = {Label::Label6, Label::Label7, Label::Label8};
    for (int i = 0; i < 3; ++i) {
        int64_t v = progress_->counters[i].exchange(WindowProgress::kUnchanged);
        if (v != WindowProgress::kUnchanged) setCaption(kLabels[i], std::to_string(v));
    }
    const int64_t total = progress_->total, done = progress_->done;
    if (total > 0)
        return setBarTwips(static_cast<int>(kBarFullTwips * std::min(done, total) / total));
    // Without a total the bar steps at every pause, back to 0 near the edge.
    for (int p = progress_->pauses; shownPauses_ < p; ++shownPauses_)
        setBarTwips(6500 - barTwips_ <= 500 ? 0 : barTwips_ + 500);
}

void MainWindow::resetProgressBar() {
    setBarTwips(0);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (worker_) {
        event->ignore();
        const std::string question = "正在进行的操作还没有完成。要取消它并退出吗？";
        const bool yes = questionSink ? questionSink(question)
                                      : QMessageBox::question(this, kProgramTitle, qs(question)) ==
                                            QMessageBox::Yes;
        if (!yes) return;
        quitAfterOperation_ = true;
        cancelOperation();
        return;
    }
    // Names another program saved meanwhile are newer than this window's.
    if (!quitAfterOperation_ && !FolderStamp::of(workspace_.paths).namesDiffer(knownFolder_))
        saveColumnList();
    workspace_.conn.release();
    event->accept();
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !worker_)
        caughtUpWithOthers();
    QMainWindow::changeEvent(event);
}

bool MainWindow::caughtUpWithOthers() {
    const FolderStamp now = FolderStamp::of(workspace_.paths);
    if (now == knownFolder_) return false;
    if (now.tableDiffers(knownFolder_)) choiceOverwritten_ = true;
    knownFolder_ = now;
    reloadFromFolder();
    return true;
}

void MainWindow::reloadFromFolder() {
    fillColumnChooser(column_list::load(workspace_.paths.columnList()));
    // The counters tell of the table as it is: its rows, and the columns
    // its names cover, counted as a choice counts them (one less).
    showTableRowCount(true);
    setCaption(Label::Label7, std::to_string(std::max<int>(int(columnNames_.size()) - 1, 0)));
    if (state_.view() == View::Export) rebuildExportLists();
    refreshDataView();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // Enter presses the focused button, as Space does.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        auto* button = qobject_cast<QPushButton*>(watched);
        if (button && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            if (button->isEnabled()) button->click();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace tabrovin
