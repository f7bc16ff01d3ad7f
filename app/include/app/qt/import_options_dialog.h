#pragma once
// The import options beside the plain import, all off by default: headings
// on another row, trailing rows left out, and appending to the working table
// instead of starting it over. Edited in a small dialog from the tools menu,
// remembered in the window's settings.

#include <QDialog>
#include <string>

#include "import/sheet_layout.h"

class QCheckBox;
class QSettings;
class QSpinBox;

namespace tabrovin {

struct ImportOptions {
    SheetLayout layout{};
    bool append = false;        // 追加导入: choosing keeps the table, import adds to it
    bool sourceColumn = false;  // with append: each row's file name in 来源文件

    bool isDefault() const { return layout.isDefault() && !append && !sourceColumn; }
    friend bool operator==(const ImportOptions&, const ImportOptions&) = default;
};

// How the options read in the step-one frame, e.g. "标题行 3 · 追加"; ""
// when all are at their defaults.
std::string describeImportOptions(const ImportOptions& options);

// The options kept in `settings`; anything missing or out of range reads as
// its default.
ImportOptions loadImportOptions(QSettings& settings);
void saveImportOptions(QSettings& settings, const ImportOptions& options);

class ImportOptionsDialog : public QDialog {
    Q_OBJECT

  public:
    ImportOptionsDialog(const ImportOptions& current, QWidget* parent);
    // The options as the dialog's controls stand.
    ImportOptions chosen() const;

  private:
    QSpinBox* headerRow_ = nullptr;
    QSpinBox* skipLast_ = nullptr;
    QCheckBox* append_ = nullptr;
    QCheckBox* sourceColumn_ = nullptr;
};

}  // namespace tabrovin
