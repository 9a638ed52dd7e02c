#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class CDeletingData;
}

namespace quenda {

// "Deleting Data ...": a modeless window without a title bar, up while the
// recorder erases. The UI thread is blocked meanwhile, so it is painted once
// when shown and asks nothing of the user.
class CDeletingData : public QDialog {
    Q_OBJECT
public:
    explicit CDeletingData(QWidget* parent = nullptr);
    ~CDeletingData() override;

    // Centres the window over its parent (or the screen), shows it and paints
    // it at once.
    void ShowNow();

public slots:
    // Escape does not take it down; the erase decides when it goes.
    void reject() override {}

private:
    std::unique_ptr<Ui::CDeletingData> ui_;
};

}  // namespace quenda
