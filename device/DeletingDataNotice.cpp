#include "device/DeletingDataNotice.h"

#include "ui_DeletingDataNotice.h"
#include "widgets/UiTexts.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

namespace quenda {

namespace {
constexpr int kMapWait = 300;  // ms
}  // namespace

DeletingDataNotice::DeletingDataNotice(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), ui_(std::make_unique<Ui::DeletingDataNotice>()) {
    ui_->setupUi(this);
    ApplyUiText(this);
    ui_->okButton->hide();
    ui_->cancelButton->hide();
    setModal(false);
}

DeletingDataNotice::~DeletingDataNotice() = default;

void DeletingDataNotice::ShowNow() {
    QRect area;
    if (const QWidget* owner = parentWidget()) {
        area = owner->window()->frameGeometry();
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    }
    if (area.isValid()) move(area.center() - rect().center());
    show();
    raise();
    // The UI thread blocks for the erase right after this: wait (briefly)
    // until the window system has mapped the window, or the paint below would
    // go nowhere and the window would stay blank the whole time.
    const QDeadlineTimer deadline(kMapWait);
    while (windowHandle() && !windowHandle()->isExposed() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
    }
    repaint();
}

}  // namespace quenda
