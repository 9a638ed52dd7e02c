#pragma once

#include <QDialog>
#include <QImage>

#include <memory>

namespace Ui {
class SplashDialog;
}

namespace quenda {

// The start-up picture: a borderless box filled by bitmap 142, shown modeless
// while the main window is being made.
class SplashDialog : public QDialog {
    Q_OBJECT
public:
    explicit SplashDialog(const QImage& bitmap, QWidget* parent = nullptr);
    ~SplashDialog() override;

    // Shows the picture centred on the screen, paints it, keeps it up for
    // `milliseconds` (user input waits meanwhile), then closes it.
    void ShowFor(int milliseconds);

private:
    std::unique_ptr<Ui::SplashDialog> ui_;
};

}  // namespace quenda
