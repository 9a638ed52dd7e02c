#include "views/RollStepDialog.h"

#include "base/CommandIds.h"
#include "base/UiText.h"
#include "widgets/MessageBox.h"
#include "widgets/NoPasteLineEdit.h"
#include "widgets/StepArrows.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace quenda {

namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }

// The field read as a signed integer, as the old exchange read it: 0 when it
// is empty or not a number.
int FieldNumber(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : 0;
}

}  // namespace

QString RollStepRangeMessage(int pageCount) {
    return Text(UiText(str::kRollStepRange, "Please input a num which is between 1 and")) +
           QString(" %1").arg(pageCount);
}

RollStepDialog::RollStepDialog(int maximum, int step, MessageFunction showMessage, QWidget* parent)
    : QDialog(parent),
      maximum_(maximum),
      step_(step),
      showMessage_(std::move(showMessage)),
      field_(new NoPasteLineEdit(this)),
      spin_(new StepArrows(this)) {
    setWindowTitle(Text(UiText("Set Step")));
    field_->setObjectName("stepField");
    field_->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), this));
    field_->installEventFilter(this);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(Text(UiText("Roll Step :")), this));
    row->addWidget(field_, 1);
    row->addWidget(spin_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(Text(UiText("OK")));
    buttons->button(QDialogButtonBox::Cancel)->setText(Text(UiText("Cancel")));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &RollStepDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &RollStepDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);

    ShowStep();
    connect(field_, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (FieldNumber(text) >= 1) return;
        step_ = 1;
        ShowStep();
    });
    connect(spin_, &StepArrows::Stepped, this, &RollStepDialog::OnSpin);
}

void RollStepDialog::ShowStep() { field_->setText(QString::number(step_)); }

bool RollStepDialog::TakeField() {
    bool ok = false;
    const int value = field_->text().toInt(&ok, 10);
    if (!ok) {
        Message(Text(UiText("Enter an integer.")));
        field_->setFocus(Qt::OtherFocusReason);
        field_->selectAll();
        return false;
    }
    step_ = value;
    return true;
}

void RollStepDialog::OnSpin(int delta) {
    if (!TakeField()) return;
    step_ += delta;
    // Compared as unsigned: within 1 … page count, and 1 with no pages.
    if (static_cast<unsigned>(step_) >= static_cast<unsigned>(maximum_)) step_ = maximum_;
    if (step_ == 0) step_ = 1;
    ShowStep();
}

bool RollStepDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == field_ && event->type() == QEvent::FocusOut && TakeField() && step_ == 0) {
        step_ = 1;
        ShowStep();
    }
    return QDialog::eventFilter(watched, event);
}

void RollStepDialog::accept() {
    if (!TakeField()) return;
    QDialog::accept();
}

void RollStepDialog::Message(const QString& text) {
    if (showMessage_) {
        showMessage_(text);
    } else {
        ShowMessageBox(this, text, QMessageBox::Warning);
    }
}

std::optional<int> RunRollStepDialog(QWidget* parent, int pageCount, int rollStep,
                                     const RollStepDialog::MessageFunction& showMessage) {
    RollStepDialog dialog(pageCount, rollStep, showMessage, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    if (static_cast<unsigned>(dialog.Step()) > static_cast<unsigned>(pageCount)) {
        const QString text = RollStepRangeMessage(pageCount);
        if (showMessage) {
            showMessage(text);
        } else {
            ShowMessageBox(parent, text, QMessageBox::Warning);
        }
        return std::nullopt;
    }
    return dialog.Step();
}

}  // namespace quenda
