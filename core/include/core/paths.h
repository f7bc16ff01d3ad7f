#pragma once
// The one place that knows where the program's files lie: everything is
// found under the program folder, the folder that holds the executable.

#include <filesystem>
#include <string>

#include "base/error.h"

namespace tabrovin {

class ProgramPaths {
  public:
    explicit ProgramPaths(std::filesystem::path folder) : folder_(std::move(folder)) {}

    const std::filesystem::path& folder() const { return folder_; }
    std::filesystem::path dataDir() const { return folder_ / "data"; }
    std::filesystem::path workingDb() const { return dataDir() / "data.mdb"; }
    std::filesystem::path blankDb() const { return dataDir() / "B.mdb"; }
    std::filesystem::path columnList() const { return dataDir() / "ini.txt"; }
    // The one-level undo: the working database and column list as they were
    // before the last step that removed rows or replaced the table, and the
    // name of that step.
    std::filesystem::path undoDb() const { return dataDir() / "undo.mdb"; }
    std::filesystem::path undoColumnList() const { return dataDir() / "undo-ini.txt"; }
    std::filesystem::path undoStep() const { return dataDir() / "undo-step.txt"; }
    std::filesystem::path exportTemplate() const;      // data/导出空白.xls
    std::filesystem::path exportXlsxTemplate() const;  // data/导出空白.xlsx
    std::filesystem::path exportDir() const;           // 导出
    // The workbook of page `page`: 导出/转换后的<page><extension>
    std::filesystem::path exportFile(int page, const std::string& extension = ".xls") const;

  private:
    std::filesystem::path folder_;
};

}  // namespace tabrovin
