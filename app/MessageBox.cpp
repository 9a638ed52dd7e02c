#include "app/MessageBox.h"

#include "app/CommandIds.h"
#include "app/UiText.h"
#include "device/Messages.h"

#include <QLabel>
#include <QThread>
#include <QVBoxLayout>

namespace quenda {

void ShowMessageBox(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
    QMessageBox box(icon, QString::fromStdString(UiText(str::kAppTitle, "Quenda")), text, QMessageBox::Ok, parent);
    box.exec();
}

MessageBoxSink::MessageBoxSink(QWidget* dialogParent, QObject* parent)
    : QObject(parent), dialogParent_(dialogParent) {}

MessageBoxSink::~MessageBoxSink() { delete deleting_; }

void MessageBoxSink::RunOnUiThread(std::function<void()> work) {
    if (QThread::currentThread() == thread()) {
        work();
    } else {
        // Dropped if the sink is gone by the time the UI thread gets to it.
        QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
    }
}

void MessageBoxSink::ShowMessage(std::string_view text) {
    RunOnUiThread([this, copy = std::string(text)] {
        ShowMessageBox(dialogParent_, QString::fromStdString(UiText(copy)));
    });
}

void MessageBoxSink::ShowDeleting(bool visible) {
    RunOnUiThread([this, visible] {
        if (!visible) {
            delete deleting_;
            return;
        }
        if (deleting_) return;
        auto* window = new QWidget(dialogParent_, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
        window->setWindowTitle(QString::fromStdString(UiText(str::kAppTitle, "Quenda")));
        auto* layout = new QVBoxLayout(window);
        layout->addWidget(new QLabel(QString::fromStdString(UiText(msg::kDeleting)), window));
        window->show();
        deleting_ = window;
    });
}

}  // namespace quenda
