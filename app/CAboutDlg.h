#pragma once

#include <QDialog>
#include <QImage>

#include <memory>

namespace Ui {
class CAboutDlg;
}

namespace quenda {

// The about box: bitmap 215, the program's name, version and date, and a
// credit line.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kVersion = "Ver 3.2.4";
    static constexpr const char* kDate = "2010-08-03";

    explicit CAboutDlg(const QImage& bitmap, QWidget* parent = nullptr);
    ~CAboutDlg() override;

private:
    std::unique_ptr<Ui::CAboutDlg> ui_;
};

}  // namespace quenda
