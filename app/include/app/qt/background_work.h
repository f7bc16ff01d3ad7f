#pragma once
// Reads that would keep the window waiting (counting a million rows takes a
// tenth of a second and more) run on threads of their own. Only the work
// started last is reported, on the window's thread: a report that newer work
// or a drop overtook is never shown, so no stale figure overwrites a newer
// one. Work that opens the working database must close it before it ends.

#include <QObject>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>

namespace tabrovin {

class BackgroundWork : public QObject {
    Q_OBJECT

  public:
    explicit BackgroundWork(QObject* parent = nullptr);
    // Reports still under way are dropped; work still running runs out unseen.
    ~BackgroundWork() override;

    // Runs `work` on a thread of its own, then `report(result)` on this
    // object's thread unless start(), drop() or release() came meanwhile.
    // `work` must hold no pointer into the window, which may be gone by then.
    template <class Work, class Report>
    void start(Work work, Report report) {
        launch([work = std::move(work), report = std::move(report)]() -> std::function<void()> {
            return [report, result = work()] { report(result); };
        });
    }
    // No report for the work under way.
    void drop();
    // drop(), then waits until no work started here runs any more (at most
    // one work's time), so that a file it read may be replaced.
    void release();
    // Work was started and neither reported nor dropped yet.
    bool pending() const { return pending_; }

    // For tests: when set, each finished work's report is handed to it, to
    // be delivered (from any thread) whenever the test chooses; the work has
    // ended by then.
    static inline std::function<void(std::function<void()> deliver)> deliverThrough;

  private:
    // `work` runs off the thread and gives the report to run back on it.
    void launch(std::function<std::function<void()>()> work);

    // Whether this object still lives, and how much work still runs.
    struct Link {
        std::mutex mutex;
        std::condition_variable ended;
        bool alive = true;
        int running = 0;
    };
    std::shared_ptr<Link> link_ = std::make_shared<Link>();
    int generation_ = 0;  // of the last start() or drop(); older reports are dropped
    bool pending_ = false;
};

}  // namespace tabrovin
