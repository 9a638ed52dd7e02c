#pragma once

#include "device/MessageSink.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>

#include <string>

namespace quenda {

// A modal message box with an OK button under the program's title. Call on
// the UI thread.
void ShowMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon = QMessageBox::NoIcon);

// The GUI's MessageSink. Callable from any thread: on the UI thread the box
// shows at once; from a worker thread the text is queued to the UI thread and
// the call returns at once. (A worker that waited for the box could deadlock
// against the UI thread waiting for the worker to stop.) Each text goes
// through UiText, so the resource library can replace it.
class MessageBoxSink : public QObject, public MessageSink {
    Q_OBJECT
public:
    // Create on the UI thread. `dialogParent` is the boxes' parent.
    explicit MessageBoxSink(QWidget* dialogParent, QObject* parent = nullptr);
    ~MessageBoxSink() override;

    void ShowMessage(std::string_view text) override;
    void ShowDeleting(bool visible) override;

    // The "Deleting Data ..." window while it is up, for tests.
    QWidget* DeletingWindow() const { return deleting_; }

private:
    void RunOnUiThread(std::function<void()> work);

    QPointer<QWidget> dialogParent_;
    QPointer<QWidget> deleting_;
};

}  // namespace quenda
