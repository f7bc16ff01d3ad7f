#include "app/qt/import_options_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>

namespace tabrovin {
namespace {

// A sheet has at most this many rows in any format the program reads.
constexpr int kMaxSheetRows = 1048576;

QSpinBox* addSpinBox(QFormLayout* form, const char* name, const char* label, int min, int value) {
    auto* box = new QSpinBox;
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(min, kMaxSheetRows);
    box->setValue(value);
    form->addRow(QString::fromUtf8(label), box);
    return box;
}

QCheckBox* addCheckBox(QVBoxLayout* layout, const char* name, const char* text, bool checked) {
    auto* box = new QCheckBox(QString::fromUtf8(text));
    box->setObjectName(QString::fromLatin1(name));
    box->setChecked(checked);
    layout->addWidget(box);
    return box;
}

}  // namespace

std::string describeImportOptions(const ImportOptions& o) {
    std::string s = describeLayout(o.layout);
    auto add = [&s](const char* part) { s += (s.empty() ? "" : " · ") + std::string(part); };
    if (o.append) add("追加");
    if (o.sourceColumn) add("来源文件");
    return s;
}

ImportOptions loadImportOptions(QSettings& settings) {
    ImportOptions o;
    const int header = settings.value("import/headerRow", 1).toInt();
    const int skip = settings.value("import/skipLast", 0).toInt();
    if (header >= 1 && header <= kMaxSheetRows) o.layout.headerRow = header;
    if (skip >= 0 && skip <= kMaxSheetRows) o.layout.skipLast = skip;
    o.append = settings.value("import/append", false).toBool();
    o.sourceColumn = o.append && settings.value("import/sourceColumn", false).toBool();
    return o;
}

void saveImportOptions(QSettings& settings, const ImportOptions& o) {
    settings.setValue("import/headerRow", o.layout.headerRow);
    settings.setValue("import/skipLast", o.layout.skipLast);
    settings.setValue("import/append", o.append);
    settings.setValue("import/sourceColumn", o.sourceColumn);
}

ImportOptionsDialog::ImportOptionsDialog(const ImportOptions& current, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("importOptionsDialog"));
    setWindowTitle(QString::fromUtf8("导入选项"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    headerRow_ =
        addSpinBox(form, "headerRowBox", "标题行（列名所在的行）:", 1, current.layout.headerRow);
    skipLast_ =
        addSpinBox(form, "skipLastBox", "跳过末尾行数（如合计行）:", 0, current.layout.skipLast);
    append_ = addCheckBox(layout, "appendBox", "追加导入（不清空已导入的数据，可选多个工作簿）",
                          current.append);
    sourceColumn_ = addCheckBox(layout, "sourceColumnBox", "在“来源文件”列记下每行的文件名",
                                current.sourceColumn);
    sourceColumn_->setEnabled(current.append);
    connect(append_, &QCheckBox::toggled, sourceColumn_, &QWidget::setEnabled);
    auto* note = new QLabel(QString::fromUtf8("不是默认值的选项会显示在第一步的框中。"));
    layout->addWidget(note);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                                         QDialogButtonBox::RestoreDefaults);
    buttons->setObjectName(QStringLiteral("importOptionsButtons"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked, this,
            [this] {
                headerRow_->setValue(1);
                skipLast_->setValue(0);
                append_->setChecked(false);
                sourceColumn_->setChecked(false);
            });
}

ImportOptions ImportOptionsDialog::chosen() const {
    ImportOptions o;
    o.layout = {headerRow_->value(), skipLast_->value()};
    o.append = append_->isChecked();
    o.sourceColumn = o.append && sourceColumn_->isChecked();
    return o;
}

}  // namespace tabrovin
