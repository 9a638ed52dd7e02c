#pragma once

#include "patient/DialogPrompts.h"

#include <QDialog>

#include <memory>

namespace Ui {
class UnitSetupDialog;
}

namespace quenda {

class Settings;

// "Unit setup": chooses between "The Britain System" (UnitSetup 0) and "The
// Metric System" (1). Opens on the value in the settings file; OK writes the
// chosen index there. A write that fails is reported and the dialog stays
// open, so the choice is not silently lost.
class UnitSetupDialog : public QDialog {
    Q_OBJECT
public:
    explicit UnitSetupDialog(Settings& settings, QWidget* parent = nullptr);
    ~UnitSetupDialog() override;

    void SetPrompts(DialogPrompts prompts);
    // The index of the chosen button: 0 Britain, 1 metric.
    int ChosenUnit() const;

public slots:
    void accept() override;

private:
    std::unique_ptr<Ui::UnitSetupDialog> ui_;
    Settings& settings_;
    DialogPrompts prompts_;
};

}  // namespace quenda
