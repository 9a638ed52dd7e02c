#pragma once

#include "patient/DialogPrompts.h"

#include <QDialog>

#include <memory>

namespace Ui {
class ReportTitleDialog;
}

namespace quenda {

// "Modify Title": edits the report title. A title longer than 60 characters
// is cut to 60 with its message when the box loses the focus, and likewise
// when OK is pressed first, so an over-long title never gets through.
class ReportTitleDialog : public QDialog {
    Q_OBJECT
public:
    explicit ReportTitleDialog(const QString& title, QWidget* parent = nullptr);
    ~ReportTitleDialog() override;

    void SetPrompts(DialogPrompts prompts);
    QString Title() const;

public slots:
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // False when the title was too long and has been cut.
    bool CheckTitle();

    std::unique_ptr<Ui::ReportTitleDialog> ui_;
    DialogPrompts prompts_;
    bool repairing_ = false;
};

}  // namespace quenda
