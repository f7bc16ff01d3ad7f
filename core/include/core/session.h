#pragma once
// The shared state of one running program: its folder, its window, the
// working-database connection and the workbook chosen last. Every action
// takes the Session; only one action runs at a time.

#include <chrono>
#include <functional>
#include <string>

#include "base/error.h"
#include "core/paths.h"
#include "core/window_port.h"
#include "platform/database.h"

namespace tabrovin {

// How the long loops pause to keep the window responsive.
struct PauseSettings {
    bool enabled = true;  // the batch command turns pauses off
    std::chrono::milliseconds length{500};
};

class Session {
  public:
    Session(ProgramPaths paths, WindowPort& window) : paths(std::move(paths)), window(window) {}

    ProgramPaths paths;
    WindowPort& window;
    Database conn;
    std::string xlsPath;  // the workbook the file dialog returned last
    PauseSettings pauses;
    int pauseCount = 0;  // pauses taken since start, for progress checks

    // Replaces `conn` with a fresh connection to the working database.
    // Says plainly which file or folder is missing.
    Status openConn();

    // One pause of the long loops: grows the progress bar Label1 by 500
    // twips (back to 0 near the window's width), then lets the window handle
    // its events for the pause length. Does nothing when pauses are off.
    void pause();

    // Shows a message box titled "Tabrovin" unless `title` is given.
    void message(const std::string& text, Icon icon, const std::string& title = kProgramTitle);
    // Shows `e` as an action's error box: critical icon, title tag + number.
    void errorBox(const std::string& titleTag, const Error& e);

    bool busy() const { return busy_; }

  private:
    friend class ActionScope;
    bool busy_ = false;
};

// Marks the session busy for one action, so that the window starts nothing
// else (menu, close, buttons) until the action has ended.
class ActionScope {
  public:
    explicit ActionScope(Session& s) : s_(s), outer_(s.busy_) { s.busy_ = true; }
    ~ActionScope() { s_.busy_ = outer_; }
    ActionScope(const ActionScope&) = delete;
    ActionScope& operator=(const ActionScope&) = delete;

  private:
    Session& s_;
    bool outer_;
};

// Checks that `path` exists, naming it when not (err::kFileNotFound, or
// err::kPathNotFound when its folder is missing too).
Status requireFile(const std::filesystem::path& path, const std::string& what);

}  // namespace tabrovin
