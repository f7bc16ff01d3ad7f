#pragma once
// How the steps' outcomes read to the user, shared by the window and the
// batch command so both say exactly the same.

#include <string>

#include "base/error.h"
#include "core/undo.h"
#include "export/run_export.h"

namespace tabrovin {

enum class Icon { Critical = 16, Exclamation = 48, Information = 64 };
constexpr const char* kProgramTitle = "Tabrovin";

struct Message {
    std::string text;
    std::string title = kProgramTitle;
    Icon icon = Icon::Information;
    bool operator==(const Message&) const = default;
};

// The steps whose failures carry their own title tags.
enum class Step { Open, Import, Dedupe, Delete, Export, ExportPage, Undo, View };

// A refused input or a cancel is information under the program's title; any
// other error is critical, titled with the step's tag and the error number.
Message errorMessage(Step step, const Error& e);

Message noWorkbookChosen();
Message importDone();
Message rowsLeft(int32_t left);  // after a duplicate filter or a keyword delete
Message exportDone(const ExportReport& report);
Message headingRenamed();
Message undoDone(const UndoReport& report);
// No program folder could be had at start: critical, under the program's title.
Message startRefused(const Error& e);

// The workbook chooser's filter: "name|pattern|name|pattern".
extern const char* const kWorkbookFilter;

}  // namespace tabrovin
