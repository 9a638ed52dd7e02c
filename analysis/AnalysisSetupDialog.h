#pragma once

#include <QDialog>
#include <QString>

#include <array>
#include <functional>
#include <memory>

namespace Ui {
class AnalysisSetupDialog;
}

namespace quenda {

class NoPasteLineEdit;
class StepArrows;
class Settings;

// "Analysis setup": edits the six thresholds the analysis reads, in the order
// SpO2 high and low limit, pulse high and low limit, desaturation threshold,
// pulse event threshold.
//
// Each box is checked as it is typed (an emptied box or a 0 gets the range
// message and its stored value back) and when the focus moves on to another
// control (a value outside the range likewise). "OK" (and Enter) first gives
// every changed box the same range check, then checks that each high limit
// lies above its low limit, puts a failing pair back to its stored values, and
// writes all six; "Cancel" writes nothing.
class AnalysisSetupDialog : public QDialog {
    Q_OBJECT
public:
    // Shows one message and returns when the user has seen it. Tests pass one
    // that records the text; the default is a modal message box.
    using MessageFunction = std::function<void(const QString&)>;

    static constexpr int kValueCount = 6;

    explicit AnalysisSetupDialog(Settings& settings, MessageFunction showMessage = {}, QWidget* parent = nullptr);
    ~AnalysisSetupDialog() override;

    // The values as last taken from the boxes, in the order above.
    const std::array<int, kValueCount>& Values() const { return values_; }
    NoPasteLineEdit* Edit(int index) const { return edits_.at(static_cast<std::size_t>(index)); }
    StepArrows* Spin(int index) const { return spins_.at(static_cast<std::size_t>(index)); }

public slots:
    void accept() override;
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnTextEdited(int index);
    void OnLeaveBox(int index);
    void OnSpin(int index, int delta);

    // Box texts into the values; false, with the framework's "Enter an
    // integer." message, when a box does not hold an integer.
    bool TakeBoxes();
    void ShowValues();
    int StoredValue(int index) const;
    void RestoreFromSettings(int index);
    void Message(const QString& text);

    std::unique_ptr<Ui::AnalysisSetupDialog> ui_;
    Settings& settings_;
    MessageFunction showMessage_;
    std::array<int, kValueCount> values_{};
    std::array<NoPasteLineEdit*, kValueCount> edits_{};
    std::array<StepArrows*, kValueCount> spins_{};
    bool finishing_ = false;
};

// Options > Analysis Setup: runs the dialog modally and says whether it ended
// with "OK" (the caller then recomputes the analysis if its page is shown).
bool RunAnalysisSetup(QWidget* parent, Settings& settings, AnalysisSetupDialog::MessageFunction showMessage = {});

}  // namespace quenda
