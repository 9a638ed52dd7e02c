#pragma once

#include <QDialog>

#include <functional>
#include <optional>

class QLabel;

namespace quenda {

class NoPasteLineEdit;
class StepArrows;

// "Set Step": the number of pages one paging action moves in the calling view.
// The step field takes digits only; anything below 1 (an emptied field) puts 1
// back at once. The spin beside it is not attached to the field: each arrow
// adds or takes 1 from what the field holds and keeps it within 1 … the page
// count. Typing accepts any positive number; the caller checks it against the
// page count after OK.
class RollStepDialog : public QDialog {
    Q_OBJECT
public:
    using MessageFunction = std::function<void(const QString&)>;

    RollStepDialog(int maximum, int step, MessageFunction showMessage = {}, QWidget* parent = nullptr);

    // The step as last taken from the field.
    int Step() const { return step_; }
    NoPasteLineEdit* Field() const { return field_; }
    StepArrows* Spin() const { return spin_; }

public slots:
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The field into the step; false, with "Enter an integer.", when it does
    // not hold one.
    bool TakeField();
    void ShowStep();
    void OnSpin(int delta);
    void Message(const QString& text);

    int maximum_;
    int step_;
    MessageFunction showMessage_;
    NoPasteLineEdit* field_;
    StepArrows* spin_;
};

// Options > Roll Step on a view: runs the dialog with the view's page count and
// roll step. The new roll step, or none after Cancel or when it exceeds the
// page count ("Please input a num which is between 1 and %d" is shown then).
std::optional<int> RunRollStepDialog(QWidget* parent, int pageCount, int rollStep,
                                     const RollStepDialog::MessageFunction& showMessage = {});

// The message for a step above the page count.
QString RollStepRangeMessage(int pageCount);

}  // namespace quenda
