#include "app/CSplashDlg.h"

#include "ui_CSplashDlg.h"

#include <QEventLoop>
#include <QScreen>
#include <QTimer>

namespace quenda {

CSplashDlg::CSplashDlg(const QImage& bitmap, QWidget* parent)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint), ui_(std::make_unique<Ui::CSplashDlg>()) {
    ui_->setupUi(this);
    if (!bitmap.isNull()) {
        ui_->picture->setPixmap(QPixmap::fromImage(bitmap));
        setFixedSize(bitmap.size());
    }
}

CSplashDlg::~CSplashDlg() = default;

void CSplashDlg::ShowFor(int milliseconds) {
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
