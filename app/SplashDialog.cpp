#include "app/SplashDialog.h"

#include "ui_SplashDialog.h"

#include <QEventLoop>
#include <QScreen>
#include <QTimer>

namespace quenda {

SplashDialog::SplashDialog(const QImage& bitmap, QWidget* parent)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint), ui_(std::make_unique<Ui::SplashDialog>()) {
    ui_->setupUi(this);
    if (!bitmap.isNull()) {
        ui_->picture->setPixmap(QPixmap::fromImage(bitmap));
        setFixedSize(bitmap.size());
    }
}

SplashDialog::~SplashDialog() = default;

void SplashDialog::ShowFor(int milliseconds) {
    if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
    show();
    repaint();
    // Keep painting (an uncovered splash redraws) but hold the user's input.
    QEventLoop wait;
    QTimer::singleShot(milliseconds, &wait, &QEventLoop::quit);
    wait.exec(QEventLoop::ExcludeUserInputEvents);
    close();
}

}  // namespace quenda
