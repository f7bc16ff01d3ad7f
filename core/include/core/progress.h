#pragma once
// The channel between a running operation and whoever started it: counters
// and how far it has got go out, a request to stop comes in. Operations call
// it on their own thread; an implementation that feeds a window must hand
// the figures over to the window's thread itself.

#include <chrono>
#include <cstdint>

#include "base/error.h"

namespace tabrovin {

// The counters a step keeps: rows of the table or sheet, columns of the
// sheet, and rows or groups done so far.
enum class Counter { Rows, Columns, Done };

class Progress {
  public:
    virtual ~Progress() = default;

    // True once the caller has asked the operation to stop. Cheap: called
    // once a row.
    virtual bool cancelled() const { return false; }
    virtual void count(Counter, int64_t /*value*/) {}
    // `done` of `total` units of work; total 0 when not known.
    virtual void advance(int64_t /*done*/, int64_t /*total*/) {}
    // The breather every P + 1 rows or groups. Returns at once when pauses
    // are off; otherwise waits its length, ending early on cancel.
    virtual void pause() {}
    // A failure that ends only part of the step (one page of an export); the
    // step goes on with the next part.
    virtual void partFailed(int /*part*/, const Error&) {}
};

// The pause of the long loops: `length` long, ended early by a cancel.
void waitOnePause(const Progress& progress, std::chrono::milliseconds length);

// Error::cancelled when the caller has asked to stop, else Ok.
Status checkCancelled(const Progress& progress, const std::string& kept);

}  // namespace tabrovin
