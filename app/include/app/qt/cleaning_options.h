#pragma once
// The options beside step two (清理选项), all off by default: more key
// columns and normalisations for 过滤重复, the way of matching and several
// keywords for 删除相应的行. Plain data, so the window, its dialog and the
// tests share one reading of them.

#include <QObject>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "app/qt/background_work.h"
#include "processing/delete_keyword_rows.h"
#include "processing/filter_duplicates.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSettings;

namespace tabrovin {

struct CleaningOptions {
    std::vector<int> moreColumns;  // column numbers compared beside Combo1's
    bool trim = false;
    bool width = false;
    MatchMode match = MatchMode::Contains;
    bool severalKeywords = false;  // Text2 holds keywords separated by '|'

    bool isDefault() const;
    // What is not at its default, short, for the step frame: e.g.
    // "另加列：电话 · 去空白 · 等于"; "" when all are at their defaults.
    std::string summary(const std::vector<std::string>& columnNames) const;
    // The options put into a request that the step's controls began. Columns
    // that no longer exist are left out.
    void applyTo(DedupeRequest& request, size_t columnCount) const;
    void applyTo(DeleteRequest& request) const;

    // Remembered in the window's settings, group "cleaning".
    static CleaningOptions load(QSettings& settings);
    void save(QSettings& settings) const;
};

// The small dialog 清理选项…: its controls change the options at once (no
// OK or cancel), and it can count beforehand what the two steps would remove.
class CleaningDialog : public QWidget {
    Q_OBJECT

  public:
    explicit CleaningDialog(QWidget* parent);

    // Shows `options` with `columnNames` to choose more key columns from.
    void showOptions(const CleaningOptions& options, const std::vector<std::string>& columnNames);
    // Runs `work` off the window's thread and shows the text it gives under
    // the count button. `work` must hold no pointer into the window: the
    // dialog may be gone when it ends, and its text is then dropped.
    void count(std::function<std::string()> work);
    // The controls that change options or count: usable only while no step runs.
    std::vector<QWidget*> optionControls() const;

  signals:
    void changed(const CleaningOptions& options);
    void countAsked();

  private:
    CleaningOptions read() const;
    void showCounts(const std::string& text);

    BackgroundWork* counter_;

    QListWidget* columns_;
    QCheckBox* trim_;
    QCheckBox* width_;
    QComboBox* match_;
    QCheckBox* several_;
    QPushButton* count_;
    QLabel* counts_;
    bool filling_ = false;  // set while showOptions() fills the controls
};

}  // namespace tabrovin
