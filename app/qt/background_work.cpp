#include "app/qt/background_work.h"

#include <QThread>

namespace tabrovin {

BackgroundWork::BackgroundWork(QObject* parent) : QObject(parent) {}

BackgroundWork::~BackgroundWork() {
    std::lock_guard lock(link_->mutex);
    link_->alive = false;
}

void BackgroundWork::drop() {
    ++generation_;
    pending_ = false;
}

void BackgroundWork::release() {
    drop();
    std::unique_lock lock(link_->mutex);
    link_->ended.wait(lock, [this] { return link_->running == 0; });
}

void BackgroundWork::launch(std::function<std::function<void()>()> work) {
    const int generation = ++generation_;
    pending_ = true;
    {
        std::lock_guard lock(link_->mutex);
        ++link_->running;
    }
    auto* thread = QThread::create([this, link = link_, work = std::move(work), generation] {
        std::function<void()> report = work();
        {
            std::lock_guard lock(link->mutex);
            --link->running;
        }
        link->ended.notify_all();
        // Posted under the lock, so never to an object already destroyed;
        // one destroyed later drops what is posted to it.
        auto deliver = [this, link, generation, report = std::move(report)] {
            std::lock_guard lock(link->mutex);
            if (!link->alive) return;
            QMetaObject::invokeMethod(
                this,
                [this, generation, report] {
                    if (generation != generation_) return;
                    pending_ = false;
                    report();
                },
                Qt::QueuedConnection);
        };
        if (deliverThrough)
            deliverThrough(std::move(deliver));
        else
            deliver();
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

}  // namespace tabrovin
