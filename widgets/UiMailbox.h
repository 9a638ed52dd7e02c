#pragma once

#include <QObject>

#include <deque>
#include <functional>
#include <mutex>

namespace quenda {

// Hands work from any thread to the thread this object lives on, in the order
// it was posted. The work travels through a mutex-guarded queue instead of as
// a queued functor, so ThreadSanitizer sees the hand-off (Qt's own locking is
// invisible to it). Work still queued when the mailbox goes is dropped.
class UiMailbox final : public QObject {
    Q_OBJECT
public:
    explicit UiMailbox(QObject* parent = nullptr) : QObject(parent) {}
    void Post(std::function<void()> work);

private:
    // Runs everything queued, oldest first. Work that runs a nested event
    // loop (a message box) lets later work run inside it, still in order.
    Q_INVOKABLE void Drain();

    std::mutex mutex_;
    std::deque<std::function<void()>> queue_;  // guarded by mutex_
    bool drainPosted_ = false;                 // guarded by mutex_
};

}  // namespace quenda
