#pragma once

#include "analysis/ClinicalSetup.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QSpinBox;

namespace quenda {

class Settings;

// Options > Clinical Setup…: "Set artefacts aside" (off: the raw profile) and
// "Oximeter averaging time" in seconds (0: not stated). OK writes both to the
// settings file; a file that cannot be written is reported and the dialog
// stays open. Cancel writes nothing.
class ClinicalSetupDialog : public QDialog {
    Q_OBJECT
public:
    using MessageFunction = std::function<void(const QString&)>;

    explicit ClinicalSetupDialog(Settings& settings, MessageFunction showMessage = {}, QWidget* parent = nullptr);

    QCheckBox* ArtefactsBox() const { return artefacts_; }
    QSpinBox* AveragingBox() const { return averaging_; }
    ClinicalSetup Chosen() const;

public slots:
    void accept() override;

private:
    Settings& settings_;
    MessageFunction showMessage_;
    QCheckBox* artefacts_ = nullptr;
    QSpinBox* averaging_ = nullptr;
};

// Runs the dialog modally; true when it ended with OK (the caller then shows
// the clinical figures again).
bool RunClinicalSetup(QWidget* parent, Settings& settings, ClinicalSetupDialog::MessageFunction showMessage = {});

}  // namespace quenda
