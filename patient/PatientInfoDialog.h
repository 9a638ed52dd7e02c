#pragma once

#include "patient/DialogPrompts.h"
#include "patient/PatientForm.h"

#include <QDialog>

#include <functional>
#include <memory>

class QLineEdit;

namespace Ui {
class PatientInfoDialog;
}

namespace quenda {

class PatientContext;
class Settings;

// "Edit user information": shows CurrentPatient, saves it into its slot of
// the patient file ("Save Info", also Enter) or empties that slot ("Delete
// Info"). Height and weight appear in the unit system of UnitSetup, read from
// the settings file when the dialog opens and again at each check and save.
//
// Each field is checked when it loses the focus; a rejected value is replaced
// with its message and the field takes the focus back. Save Info runs the
// same checks first, so a value typed and confirmed with Enter, without
// leaving its box, cannot slip past them.
class PatientInfoDialog : public QDialog {
    Q_OBJECT
public:
    PatientInfoDialog(PatientContext& patient, const Settings& settings, QWidget* parent = nullptr);
    ~PatientInfoDialog() override;

    void SetPrompts(DialogPrompts prompts);
    // Called after Delete Info so the view behind shows the emptied record.
    void SetRedrawView(std::function<void()> redrawView);

    // The form as the boxes hold it now (without running the checks).
    PatientForm FormFromControls() const;

public slots:
    void accept() override;  // Save Info
    void DeleteInfo();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowForm(const PatientForm& form);
    int UnitSetup() const;
    // Runs the check of one box; false when it rejected the text.
    bool CheckBox(QLineEdit* box, PatientField field);
    bool CheckAllBoxes();
    void Message(const QString& text);

    std::unique_ptr<Ui::PatientInfoDialog> ui_;
    PatientContext& patient_;
    const Settings& settings_;
    DialogPrompts prompts_;
    std::function<void()> redrawView_;
    // The carried text fields 1-4 travel here, beside the boxes.
    PatientForm carried_;
    // Set while a rejected field is being put right, so the focus moving to
    // the message box and back does not start further checks.
    bool repairing_ = false;
};

}  // namespace quenda
