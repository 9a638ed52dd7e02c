#include "analysis/AnalysisSetupDialog.h"

#include "base/Settings.h"
#include "base/UiText.h"
#include "ui_AnalysisSetupDialog.h"
#include "widgets/MessageBox.h"
#include "widgets/NoPasteLineEdit.h"
#include "widgets/StepArrows.h"

#include <QFocusEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include <algorithm>
#include <climits>
#include <cstdint>

namespace quenda {

namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }

constexpr const char* kSpo2Range = "Please input a num between 40 and 100 !";
constexpr const char* kPrRange = "Please input a num between 15 and 300 !";
constexpr const char* kEventRange = "Please input a num between 1 and 20 !";

struct Field {
    const char* key;
    int defaultValue;
    int minimum;
    int maximum;
    const char* rangeMessage;
    const char* label;
};

constexpr std::array<Field, AnalysisSetupDialog::kValueCount> kFields = {{
    {settings_key::kSaturationsHigh, settings_default::kSaturationsHigh, 40, 100, kSpo2Range,
     "Times with saturations high"},
    {settings_key::kSaturationsLow, settings_default::kSaturationsLow, 40, 100, kSpo2Range,
     "Times with saturations low"},
    {settings_key::kPrHigh, settings_default::kPrHigh, 15, 300, kPrRange, "Times with pr high"},
    {settings_key::kPrLow, settings_default::kPrLow, 15, 300, kPrRange, "Times with pr low"},
    {settings_key::kDesaturationsEvent, settings_default::kDesaturationsEvent, 1, 20, kEventRange,
     "Desaturation Event"},
    {settings_key::kPulseEvent, settings_default::kPulseEvent, 1, 20, kEventRange, "Pulse Event"},
}};

enum Index { kSpo2High, kSpo2Low, kPrHigh, kPrLow };

const Field& FieldAt(int index) { return kFields.at(static_cast<std::size_t>(index)); }

// What a box's text reads as a number: its leading digits, with an empty box
// reading as 0 and anything too long for an int as the largest int (which is
// outside every range, so it is refused like any other large number).
long long ReadBoxNumber(const QString& text) {
    long long value = 0;
    for (const QChar c : text) {
        if (!c.isDigit()) break;
        value = std::min<long long>(value * 10 + c.digitValue(), INT_MAX);
    }
    return value;
}

// The pair checks compare as unsigned, so a negative value put into the file by
// hand counts as huge.
bool HighAboveLow(int high, int low) { return static_cast<unsigned>(high) > static_cast<unsigned>(low); }

}  // namespace

AnalysisSetupDialog::AnalysisSetupDialog(Settings& settings, MessageFunction showMessage, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::AnalysisSetupDialog>()),
      settings_(settings),
      showMessage_(std::move(showMessage)) {
    ui_->setupUi(this);
    setWindowTitle(Text(UiText("Analysis setup")));
    ui_->buttonBox->button(QDialogButtonBox::Ok)->setText(Text(UiText("OK")));
    ui_->buttonBox->button(QDialogButtonBox::Cancel)->setText(Text(UiText("Cancel")));
    // Enter in a box means OK, without leaving the box.
    ui_->buttonBox->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(ui_->buttonBox, &QDialogButtonBox::accepted, this, &AnalysisSetupDialog::accept);
    connect(ui_->buttonBox, &QDialogButtonBox::rejected, this, &AnalysisSetupDialog::reject);

    edits_ = {ui_->saturationsHighEdit, ui_->saturationsLowEdit,     ui_->prHighEdit,
              ui_->prLowEdit,           ui_->desaturationsEventEdit, ui_->pulseEventEdit};
    spins_ = {ui_->saturationsHighSpin, ui_->saturationsLowSpin,     ui_->prHighSpin,
              ui_->prLowSpin,           ui_->desaturationsEventSpin, ui_->pulseEventSpin};
    const std::array<QLabel*, kValueCount> labels = {
        ui_->saturationsHighLabel, ui_->saturationsLowLabel,     ui_->prHighLabel,
        ui_->prLowLabel,           ui_->desaturationsEventLabel, ui_->pulseEventLabel};

    const auto* digitsOnly = new QRegularExpressionValidator(QRegularExpression("[0-9]*"), this);
    for (int i = 0; i < kValueCount; ++i) {
        const auto at = static_cast<std::size_t>(i);
        labels[at]->setText(Text(UiText(FieldAt(i).label)));
        edits_[at]->setValidator(digitsOnly);
        edits_[at]->installEventFilter(this);
        // textEdited, not textChanged: showing the values again must not run the
        // typing check on what the dialog itself put there.
        connect(edits_[at], &QLineEdit::textEdited, this, [this, i] { OnTextEdited(i); });
        connect(spins_[at], &StepArrows::Stepped, this, [this, i](int delta) { OnSpin(i, delta); });
        values_[at] = StoredValue(i);
    }
    ShowValues();
}

AnalysisSetupDialog::~AnalysisSetupDialog() = default;

int AnalysisSetupDialog::StoredValue(int index) const {
    return settings_.ReadInt(FieldAt(index).key, FieldAt(index).defaultValue);
}

void AnalysisSetupDialog::RestoreFromSettings(int index) {
    values_.at(static_cast<std::size_t>(index)) = StoredValue(index);
}

void AnalysisSetupDialog::Message(const QString& text) {
    if (showMessage_) {
        showMessage_(text);
    } else {
        ShowMessageBox(this, text, QMessageBox::Warning);
    }
}

void AnalysisSetupDialog::ShowValues() {
    for (int i = 0; i < kValueCount; ++i) {
        const auto at = static_cast<std::size_t>(i);
        edits_[at]->setText(QString::number(values_[at]));
    }
}

bool AnalysisSetupDialog::TakeBoxes() {
    std::array<int, kValueCount> taken{};
    for (int i = 0; i < kValueCount; ++i) {
        const auto at = static_cast<std::size_t>(i);
        bool ok = false;
        taken[at] = edits_[at]->text().toInt(&ok, 10);
        if (!ok) {
            Message(Text(UiText("Enter an integer.")));
            edits_[at]->setFocus(Qt::OtherFocusReason);
            edits_[at]->selectAll();
            return false;
        }
    }
    values_ = taken;
    return true;
}

void AnalysisSetupDialog::OnTextEdited(int index) {
    if (ReadBoxNumber(Edit(index)->text()) != 0) return;
    Message(Text(UiText(FieldAt(index).rangeMessage)));
    RestoreFromSettings(index);
    ShowValues();
}

void AnalysisSetupDialog::OnLeaveBox(int index) {
    const long long number = ReadBoxNumber(Edit(index)->text());
    if (number <= 0) return;
    const Field& field = FieldAt(index);
    if (number >= field.minimum && number <= field.maximum) {
        TakeBoxes();
        return;
    }
    Message(Text(UiText(field.rangeMessage)));
    RestoreFromSettings(index);
    ShowValues();
}

void AnalysisSetupDialog::OnSpin(int index, int delta) {
    if (!TakeBoxes()) return;
    const Field& field = FieldAt(index);
    int& value = values_.at(static_cast<std::size_t>(index));
    // Clamped to the range, so a step never leaves it, whatever the box held.
    value = static_cast<int>(std::clamp<std::int64_t>(std::int64_t{value} + delta, field.minimum, field.maximum));
    ShowValues();
}

void AnalysisSetupDialog::accept() {
    // Enter confirms without leaving the box it was typed in, so that box has
    // not had its range check yet: without this, 500 % or 0 bpm would reach the
    // settings file and every later analysis. Every box that differs from the
    // file gets the check of leaving it (message and restore alike); values put
    // into the file by hand stay unchecked until they are touched.
    for (int i = 0; i < kValueCount; ++i) {
        if (Edit(i)->text() != QString::number(StoredValue(i))) OnLeaveBox(i);
    }
    if (!TakeBoxes()) return;
    if (!HighAboveLow(values_[kSpo2High], values_[kSpo2Low])) {
        Message(Text(UiText("Error ! The SpO2 high value must large than low value !")));
        RestoreFromSettings(kSpo2High);
        RestoreFromSettings(kSpo2Low);
        ShowValues();
    }
    if (!HighAboveLow(values_[kPrHigh], values_[kPrLow])) {
        Message(Text(UiText("Error ! The PR high value must large than low value !")));
        RestoreFromSettings(kPrHigh);
        RestoreFromSettings(kPrLow);
        ShowValues();
    }
    // A failed pair does not keep the dialog open: it keeps its stored values
    // and everything else is saved.
    for (int i = 0; i < kValueCount; ++i) {
        if (!settings_.WriteInt(FieldAt(i).key, values_.at(static_cast<std::size_t>(i)))) {
            // Staying open lets the user try again or cancel; what was written
            // before the failure stays written.
            Message(Text(UiText("The settings could not be saved.")) + "\n" +
                    QString::fromStdString(settings_.LastError()));
            return;
        }
    }
    finishing_ = true;
    QDialog::accept();
}

void AnalysisSetupDialog::reject() {
    finishing_ = true;
    QDialog::reject();
}

bool AnalysisSetupDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut && !finishing_) {
        // Only a move to another control is leaving the box; a message box or
        // another window taking the focus is not.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            for (int i = 0; i < kValueCount; ++i) {
                if (watched == edits_.at(static_cast<std::size_t>(i))) OnLeaveBox(i);
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool RunAnalysisSetup(QWidget* parent, Settings& settings, AnalysisSetupDialog::MessageFunction showMessage) {
    AnalysisSetupDialog dialog(settings, std::move(showMessage), parent);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace quenda
