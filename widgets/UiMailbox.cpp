#include "widgets/UiMailbox.h"

#include <QMetaObject>

#include <utility>

namespace quenda {

void UiMailbox::Post(std::function<void()> work) {
    bool post = false;
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(work));
        post = !std::exchange(drainPosted_, true);
    }
    if (post) QMetaObject::invokeMethod(this, "Drain", Qt::QueuedConnection);
}

void UiMailbox::Drain() {
    {
        std::lock_guard lock(mutex_);
        // From here on a Post asks for another Drain: should the work below
        // run a nested event loop, that Drain carries on inside it.
        drainPosted_ = false;
    }
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) return;
            work = std::move(queue_.front());
            queue_.pop_front();
        }
        work();
    }
}

}  // namespace quenda
