#include "views/ShiftClockDialog.h"

#include "base/UiText.h"
#include "views/NightsWindow.h"
#include "widgets/UiTexts.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace quenda {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// A clock off by days (a reset one that starts again in 2000) is put right
// in hours too: ten years of them.
constexpr int kMaxHours = 10 * 366 * 24;

}  // namespace

ShiftClockDialog::ShiftClockDialog(const NightRow& night, QWidget* parent) : QDialog(parent), night_(night) {
    setWindowTitle(UiQString("Shift Clock"));
    auto* layout = new QVBoxLayout(this);
    QString about = UiQString("The night of %1, ID %2, starts %3.")
                        .arg(Q(night.date))
                        .arg(night.id)
                        .arg(Q(LocalTimeText(night.start)));
    if (night.clockShift != 0)
        about += " " + UiQString("Its clock is shifted by %1 s already.").arg(Q(std::to_string(night.clockShift)));
    auto* intro = new QLabel(about, this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(UiQString("Move its times"), this));
    direction_ = new QComboBox(this);
    direction_->addItem(UiQString("later by"));
    direction_->addItem(UiQString("earlier by"));
    row->addWidget(direction_);
    hours_ = new QSpinBox(this);
    hours_->setRange(0, kMaxHours);
    row->addWidget(hours_);
    row->addWidget(new QLabel(UiQString("hours"), this));
    minutes_ = new QSpinBox(this);
    minutes_->setRange(0, 59);
    row->addWidget(minutes_);
    row->addWidget(new QLabel(UiQString("minutes"), this));
    row->addStretch(1);
    layout->addLayout(row);

    preview_ = new QLabel(this);
    layout->addWidget(preview_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setText(UiQString("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(UiQString("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    connect(direction_, &QComboBox::currentIndexChanged, this, [this] { ShowPreview(); });
    connect(hours_, &QSpinBox::valueChanged, this, [this] { ShowPreview(); });
    connect(minutes_, &QSpinBox::valueChanged, this, [this] { ShowPreview(); });
    ShowPreview();
}

std::int64_t ShiftClockDialog::Seconds() const {
    const std::int64_t seconds = std::int64_t{hours_->value()} * 3600 + std::int64_t{minutes_->value()} * 60;
    return direction_->currentIndex() == 1 ? -seconds : seconds;
}

void ShiftClockDialog::SetSeconds(std::int64_t seconds) {
    const std::int64_t magnitude = seconds < 0 ? -seconds : seconds;
    direction_->setCurrentIndex(seconds < 0 ? 1 : 0);
    hours_->setValue(static_cast<int>(std::min<std::int64_t>(magnitude / 3600, kMaxHours)));
    minutes_->setValue(static_cast<int>(magnitude / 60 % 60));
}

QString ShiftClockDialog::Preview() const { return preview_->text(); }

void ShiftClockDialog::ShowPreview() {
    ok_->setEnabled(Seconds() != 0);
    preview_->setText(UiQString("It will start %1.").arg(Q(LocalTimeText(night_.start + Seconds()))));
}

bool NightsWindow::ShiftClock(std::size_t row, std::int64_t seconds) {
    if (row >= shown_.size() || !library_) return false;
    if (const FileResult shifted = library_->Shift(shown_[row].night, seconds); !shifted) {
        Tell(Q(shifted.message));
        return false;
    }
    Reload();
    return true;
}

void NightsWindow::AskShiftClock() {
    const auto row = SelectedRow();
    if (!row) return;
    ShiftClockDialog dialog(shown_[*row], this);
    if (dialog.exec() == QDialog::Accepted) ShiftClock(*row, dialog.Seconds());
}

}  // namespace quenda
