#include "analysis/ClinicalSetupDialog.h"

#include "base/Settings.h"
#include "widgets/MessageBox.h"
#include "widgets/UiTexts.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

namespace quenda {

ClinicalSetupDialog::ClinicalSetupDialog(Settings& settings, MessageFunction showMessage, QWidget* parent)
    : QDialog(parent), settings_(settings), showMessage_(std::move(showMessage)) {
    setWindowTitle(UiQString("Clinical Setup"));
    const ClinicalSetup stored = ReadClinicalSetup(settings_);

    artefacts_ = new QCheckBox(UiQString("Set artefacts aside"), this);
    artefacts_->setChecked(stored.artefactsAside);
    artefacts_->setToolTip(UiQString("Off: every valid sample counts (the raw profile)."));
    averaging_ = new QSpinBox(this);
    averaging_->setRange(0, kMaxAveragingSeconds);
    averaging_->setValue(std::min(stored.averagingSeconds, kMaxAveragingSeconds));
    averaging_->setSuffix(" s");
    averaging_->setSpecialValueText(UiQString("not stated"));

    auto* form = new QFormLayout;
    form->addRow(artefacts_);
    form->addRow(UiQString("Oximeter averaging time"), averaging_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

ClinicalSetup ClinicalSetupDialog::Chosen() const { return {artefacts_->isChecked(), averaging_->value()}; }

void ClinicalSetupDialog::accept() {
    if (!WriteClinicalSetup(settings_, Chosen())) {
        const QString text =
            UiQString("The settings file can't be written") + ": " + QString::fromStdString(settings_.LastError());
        if (showMessage_) {
            showMessage_(text);
        } else {
            ShowMessageBox(this, text, QMessageBox::Warning);
        }
        return;
    }
    QDialog::accept();
}

bool RunClinicalSetup(QWidget* parent, Settings& settings, ClinicalSetupDialog::MessageFunction showMessage) {
    ClinicalSetupDialog dialog(settings, std::move(showMessage), parent);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace quenda
