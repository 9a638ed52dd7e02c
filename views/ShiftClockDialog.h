#pragma once

#include "nights/Night.h"

#include <QDialog>

#include <cstdint>

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace quenda {

// The Nights window's "Shift Clock...": how far to move a night's times when
// the recorder's clock was wrong, as hours and minutes later or earlier. It
// only asks; the window shifts the night in the library (NightLibrary::Shift,
// as `quenda-cli nights shift` does) and reads the library again.
class ShiftClockDialog : public QDialog {
public:
    // `night`: as listed, its start already moved by any shift it has.
    explicit ShiftClockDialog(const NightRow& night, QWidget* parent = nullptr);

    // The seconds to move the night by: later positive, earlier negative;
    // 0 until hours or minutes are given (OK is greyed until then).
    std::int64_t Seconds() const;
    void SetSeconds(std::int64_t seconds);
    // "It will start 2026-12-06T23:00:00." for what the fields hold.
    QString Preview() const;

private:
    void ShowPreview();

    NightRow night_;
    QComboBox* direction_ = nullptr;
    QSpinBox* hours_ = nullptr;
    QSpinBox* minutes_ = nullptr;
    QLabel* preview_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace quenda
