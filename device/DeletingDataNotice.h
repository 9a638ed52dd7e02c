#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class DeletingDataNotice;
}

namespace quenda {

// "Deleting Data ...": a modeless window without a title bar, up while the
// recorder erases. The UI thread is blocked meanwhile, so it is painted once
// when shown and asks nothing of the user.
class DeletingDataNotice : public QDialog {
    Q_OBJECT
public:
    explicit DeletingDataNotice(QWidget* parent = nullptr);
    ~DeletingDataNotice() override;

    // Centres the window over its parent (or the screen), shows it and paints
    // it at once.
    void ShowNow();

public slots:
    // Escape does not take it down; the erase decides when it goes.
    void reject() override {}

private:
    std::unique_ptr<Ui::DeletingDataNotice> ui_;
};

}  // namespace quenda
