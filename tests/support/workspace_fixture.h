#pragma once
// A program folder with a Workspace on it and a Progress that records what
// an operation reports, for running operations end to end against a real
// working database without any window.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/progress.h"
#include "core/workspace.h"
#include "tests/support/test_support.h"

namespace tabrovin::testing {

// Records every call; can be told to ask for a stop after some checks.
class RecordingProgress : public Progress {
  public:
    // From now on cancelled() answers false `checks` times, then true for good.
    void cancelAfter(int checks) {
        cancelAfter_ = checks;
        checks_ = 0;
    }
    bool cancelled() const override { return cancelAfter_ >= 0 && ++checks_ > cancelAfter_; }
    void count(Counter c, int64_t v) override { counts.emplace_back(c, v); }
    void advance(int64_t done, int64_t total) override { advances.emplace_back(done, total); }
    void pause() override {
        ++pauses;
        if (onPause) onPause();
    }
    void partFailed(int part, const Error& e) override { failures.emplace_back(part, e); }

    // The values reported for one counter, in order.
    std::vector<int64_t> values(Counter c) const;

    std::vector<std::pair<Counter, int64_t>> counts;
    std::vector<std::pair<int64_t, int64_t>> advances;
    std::vector<std::pair<int, Error>> failures;
    int pauses = 0;
    std::function<void()> onPause;

  private:
    int cancelAfter_ = -1;
    mutable int checks_ = 0;
};

class WorkspaceTest : public ::testing::Test {
  protected:
    WorkspaceTest() : ws(ProgramPaths(makeProgramFolder(dir.path()))) {}

    // Writes an .xls with Debian's xlwt: `sheets` holds each sheet's rows.
    std::filesystem::path writeXls(
        const std::string& name, const std::vector<std::vector<std::vector<std::string>>>& sheets);
    // Rows of wen in id order, the given columns as texts (null as "<null>").
    std::vector<std::vector<std::string>> table(int columns);
    int64_t rowCount();
    // Inserts rows straight into wen (values into a0, a1, ...).
    void fill(const std::vector<std::vector<std::string>>& rows);
    // The names in the column list file as it is on disk now.
    std::vector<std::string> columnList() const;
    // tabrovin-batch on this folder.
    CommandResult batch(const std::string& args) const { return runBatch(dir.path(), args); }

    TempDir dir;
    Workspace ws;
    RecordingProgress progress;
};

}  // namespace tabrovin::testing
