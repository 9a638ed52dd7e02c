#pragma once

#include <QDialog>
#include <QImage>

#include <memory>

namespace Ui {
class AboutDialog;
}

namespace quenda {

// The about box: bitmap 215, the program's name, version and date, and a
// credit line.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kVersion = "Ver 3.2.4";
    static constexpr const char* kDate = "2010-08-03";

    explicit AboutDialog(const QImage& bitmap, QWidget* parent = nullptr);
    ~AboutDialog() override;

private:
    std::unique_ptr<Ui::AboutDialog> ui_;
};

}  // namespace quenda
