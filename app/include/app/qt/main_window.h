#pragma once
// The program's main window: the controls of the three steps at fixed
// positions. Each step reads its controls into a request, runs its operation
// on a worker thread, relays the progress into the counters and the bar, and
// shows the outcome. The window stays responsive and can cancel.

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/outcomes.h"
#include "app/qt/cleaning_options.h"
#include "app/qt/import_options_dialog.h"
#include "app/qt/window_defaults.h"
#include "app/window_state.h"
#include "core/folder_stamp.h"
#include "core/progress.h"
#include "core/workspace.h"
#include "export/export_lists.h"
#include "platform/folder_lock.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QMenu;
class QSettings;
class QThread;
class QTimer;

namespace tabrovin {

// A program text (UTF-8) as Qt holds it.
inline QString qs(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

class BackgroundWork;
class DataView;
class WindowProgress;

class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    // Builds the controls, places the export step and fills Combo1 from the
    // column list file.
    explicit MainWindow(ProgramPaths paths, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Seams for tests and scripted runs. When set, no modal dialog opens:
    // fileChooser answers the file dialog (given its filter and start folder,
    // "" = cancelled), messageSink receives every message box, and
    // questionSink answers yes/no questions.
    static inline std::function<std::string(const std::string& filter, const std::string& folder)>
        fileChooser;
    static inline std::function<void(const Message&)> messageSink;
    static inline std::function<bool(const std::string& question)> questionSink;
    // The chooser of several workbooks, while 追加导入 is on; none chosen: empty.
    static inline std::function<std::vector<std::string>(const std::string& filter,
                                                         const std::string& folder)>
        filesChooser;
    // Opens a folder on the desktop; false when it could not.
    static inline std::function<bool(const std::string& folder)> folderOpener;

    // Chooses `path` as the file chooser would (`tabrovin WORKBOOK`); a path
    // that is not a readable file gets the chooser's no-choice message.
    void chooseAtStart(const std::string& path);

    bool operationRunning() const { return worker_ != nullptr; }
    // The table's rows are being counted for Label6, off the window's thread.
    bool counting() const;
    // Asks the running operation to stop; it ends at its next check.
    void cancelOperation();

    // What the window allows now; every control follows it.
    const WindowState& state() const { return state_; }
    // A setting added beside the steps, or the menu entry that edits some:
    // enabled whenever no step runs.
    void addOptionControl(QWidget* control);
    void addOptionControl(QAction* control);

  signals:
    // An operation has ended and its outcome has been shown.
    void operationFinished();

  protected:
    // During an operation, asks whether to cancel it and quit.
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // On activation the window catches up with another program's changes.
    void changeEvent(QEvent* event) override;
    // A workbook dropped on the window is chosen as the file chooser would.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    // The window's own settings (last folder, recent workbooks) beside the
    // working database.
    QSettings windowSettings() const;

    // Construction, in main_window_ui.cpp.
    void buildMenu();
    void buildImportStep(QWidget* client);
    void buildCountersFrame(QGroupBox* frame2);
    void buildProcessingStep(QWidget* client);
    void buildExportStep(QWidget* client);
    void buildStatusLine(QWidget* client);
    void setFocusOrder();
    void connectEvents();
    QLabel* addLabel(QWidget* parent, const char* name, const char* text, int left, int top,
                     int width, int height);
    QLineEdit* addTextBox(QWidget* parent, TextBox box, const char* name, int left, int top,
                          int width, int height);
    QPushButton* addButton(QWidget* parent, int index, int left, int top, int width, int height);
    QListWidget* addList(QWidget* parent, ListBox list, const char* name, int left, int top,
                         int width, int height);

    // The steps, in main_window_steps.cpp.
    void chooseWorkbook();
    // The chooser, a dropped file and a recent entry all end here.
    void chooseWorkbookPath(const std::string& path);
    void openChosenWorkbook();
    void startImport();
    void startDedupe();
    void startDelete();
    void startExport();
    void showExportView();
    // Both export lists anew from Combo1's names, the heading editor empty.
    void rebuildExportLists();
    void moveAllExportColumns();
    void renameExportHeading();
    void moveSelected(ListBox from);
    void loadSelectedHeading();

    // The export's options, in main_window_export_options.cpp.
    void buildExportOptions();
    // The split column's choices anew from List3, keeping the one chosen.
    void refreshSplitColumns();
    void exportOptionsChanged();
    void showExportOptions();
    // Puts the options into `request`; false when the user declined a split
    // into many files, or chose no column to split by (then said so).
    bool applyExportOptions(ExportRequest& request);

    // The tools menu, in main_window_tools.cpp.
    void buildToolsMenu();
    void showDataView();
    void refreshDataView();
    void releaseDataView();
    void undoStep();
    void openExportFolder();
    void fillRecentMenu();
    // The undo entry and the recent list as the folder has them now.
    void refreshToolsMenu();
    void chooseRecent(const QString& path);
    void forgetRecent(const QString& path);
    // A drop or a recent entry: chosen as through the chooser, in the import
    // view.
    void chooseFromOutside(const std::string& path);
    // Counts the table's rows off the window's thread into Label6, and into
    // Label8 too when `alsoImported`. A count that a step or a newer count
    // overtook is not shown.
    void showTableRowCount(bool alsoImported = false);
    // 使用说明, in main_window_guide.cpp.
    void showUserGuide();

    // The import options, in main_window_import_options.cpp.
    void buildImportOptions();
    void editImportOptions();
    void showImportOptions();
    void chooseWorkbooksToAppend();
    // Several workbooks appended in one step: the first is listed in List1.
    void chooseWorkbookPaths(const std::vector<std::string>& paths);
    void startAppend();

    // What a step's end tells the state model beyond how it ended.
    struct StepEnd {
        bool listedColumns = false;  // a choice listed a sheet with data rows
        bool changedTable = false;   // rows were added, even by a failed import
    };
    // The cleaning options, in main_window_cleaning.cpp.
    void buildCleaningOptions();
    void showCleaningDialog();
    void setCleaningOptions(const CleaningOptions& options);
    // The step-two frame names every option not at its default.
    void showCleaningNote();
    void applyCleaning(DedupeRequest& request) const;
    void applyCleaning(DeleteRequest& request) const;
    void countRemovals();

    // Runs `work` on a worker thread while the state model says `step` runs;
    // `done` then runs on the window's thread.
    void runOperation(Step step, std::function<void(Progress&)> work, std::function<void()> done);
    // runOperation for a step whose operation returns a report: back on the
    // window's thread `settle` runs whatever the end, the state model learns
    // the end, then an error is shown as `step`'s message or the report goes
    // to `done`.
    template <class Report>
    void runStep(Step step, std::function<Result<Report>(Progress&)> work,
                 std::function<StepEnd(const Result<Report>&)> settle,
                 std::function<void(const Report&)> done) {
        auto outcome = std::make_shared<std::optional<Result<Report>>>();
        runOperation(
            step, [outcome, work = std::move(work)](Progress& p) { *outcome = work(p); },
            [this, step, outcome, settle = std::move(settle), done = std::move(done)] {
                const Result<Report>& r = **outcome;
                const StepEnd end = settle ? settle(r) : StepEnd{};
                finishStep(r ? Ending::Succeeded : endingOf(r.error()), end);
                if (!r)
                    showMessage(errorMessage(step, r.error()));
                else
                    done(r.value());
                messageClosed();
            });
    }
    // The state model learns how the running step ended; the controls follow.
    void finishStep(Ending ending, StepEnd end);
    // A step's closing message was closed: buttons held for it come back.
    void messageClosed();
    // A step refused by the window before it began, as its own refusal or
    // failure would be: the message, then the controls the state model gives.
    void refuseBeforeStart(Step step, const Error& e);
    void addOptionControl(QObject* control, std::function<void(bool)> enable);
    // Sets every control from the state model: the one place that does.
    void applyState();
    // Before a step: true when another program changed the folder since this
    // window last looked; the window then shows what is there now.
    bool caughtUpWithOthers();
    // Shows what the folder holds now: counters, Combo1, export lists, view.
    void reloadFromFolder();
    // This window's own step changed the folder: remember it as known.
    void rememberFolder() { knownFolder_ = FolderStamp::of(workspace_.paths); }
    // Takes the program folder for `step`; false (and a message naming the
    // holder, titled for the step) while another window or batch run has it.
    // The export only reads, so it also works in a read-only folder.
    bool lockFolder(Step step);
    // Takes the folder and catches up with another program's changes; false
    // when the step cannot go on, which the window has then said.
    bool prepareStep(Step step);
    void operationEnded();
    void relayProgress();
    void resetProgressBar();

    void showMessage(const Message& m);
    void setCaption(Label l, const std::string& caption);
    void setBarTwips(int twips);
    std::string text(TextBox box) const;
    void setText(TextBox box, const std::string& text);
    void showView(View view);
    void fillColumnChooser(const std::vector<std::string>& names);
    void renderExportLists();
    void saveColumnList();
    void rememberWorkbook(const std::string& path);
    void rememberRecent(const std::string& path);

    QListWidget* list(ListBox l) const { return lists_[static_cast<int>(l)]; }
    QLabel* label(Label l) const { return labels_.at(l); }

    Workspace workspace_;
    std::vector<std::string> columnNames_;  // Combo1's entries
    ExportLists exportLists_;
    std::string xlsPath_;                   // the workbook chosen last
    ImportOptions importOptions_;           // as the dialog set them
    ImportOptions chosenOptions_;           // as they were when xlsPath_ was chosen
    std::vector<std::string> appendPaths_;  // the workbooks chosen last for an append
    QLabel* importOptionsLabel_ = nullptr;  // the options not at their defaults
    WindowState state_;
    FolderStamp knownFolder_;         // the folder as this window last saw it
    bool choiceOverwritten_ = false;  // another program changed the chosen table
    // Each option control and how to enable it.
    std::vector<std::pair<QPointer<QObject>, std::function<void(bool)>>> optionControls_;
    QComboBox* formatBox_ = nullptr;
    QComboBox* splitModeBox_ = nullptr;
    QComboBox* splitColumnBox_ = nullptr;
    QLabel* optionsNote_ = nullptr;
    int splitColumn_ = -1;         // the column split by, kept while List3 changes
    std::string lastSplitFolder_;  // the last split's folder under 导出, opened by the tools menu
    CleaningOptions cleaning_;
    CleaningDialog* cleaningDialog_ = nullptr;
    QLabel* cleaningLabel_ = nullptr;
    int clickedColumn_ = -1, clickedPosition_ = -1;

    std::optional<FolderLock> folderLock_;
    std::unique_ptr<WindowProgress> progress_;
    QThread* worker_ = nullptr;
    std::function<void()> done_;
    QTimer* progressTimer_ = nullptr;
    int barTwips_ = 0;
    int shownPauses_ = 0;
    bool quitAfterOperation_ = false;

    std::array<QLineEdit*, 5> texts_{};
    std::map<Label, QLabel*> labels_;
    std::array<QListWidget*, 3> lists_{};
    QComboBox* combo_ = nullptr;
    std::array<QPushButton*, kButtonCount> buttons_{};
    QPushButton* cancelButton_ = nullptr;
    std::array<QAction*, 2> menu_{};
    QMenu* tools_ = nullptr;
    QMenu* recent_ = nullptr;
    QAction* undo_ = nullptr;
    QAction* viewData_ = nullptr;
    QAction* exportFolder_ = nullptr;
    QAction* guide_ = nullptr;
    QWidget* dataWindow_ = nullptr;
    DataView* dataView_ = nullptr;
    BackgroundWork* rowCounter_ = nullptr;
    QGroupBox* frame2_ = nullptr;
    QGroupBox* frame3_ = nullptr;
    QGroupBox* frame4_ = nullptr;
};

}  // namespace tabrovin
