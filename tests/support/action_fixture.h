#pragma once
// A program folder, an in-memory window and a session on them, for driving
// actions end to end against a real working database.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/dispatch.h"
#include "core/memory_window.h"
#include "core/session.h"
#include "tests/support/test_support.h"

namespace tabrovin::testing {

class ActionTest : public ::testing::Test {
  protected:
    ActionTest() : session(ProgramPaths(makeProgramFolder(dir.path())), window) {
        session.pauses.length = std::chrono::milliseconds(0);
    }

    // Writes an .xls with Debian's xlwt: `sheets` holds each sheet's rows.
    std::string writeXls(const std::string& name,
                         const std::vector<std::vector<std::vector<std::string>>>& sheets);
    // Rows of wen in id order, the given columns as texts (null as "<null>").
    std::vector<std::vector<std::string>> table(int columns);
    int64_t rowCount();
    // Inserts rows straight into wen (values into a0, a1, ...).
    void fill(const std::vector<std::vector<std::string>>& rows);
    // The last message shown, or an empty one.
    ShownMessage lastMessage() const;

    TempDir dir;
    MemoryWindow window;
    Session session;
};

}  // namespace tabrovin::testing
