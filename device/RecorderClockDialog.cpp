#include "device/RecorderClockDialog.h"

#include "device/Commands.h"
#include "device/MessageSink.h"
#include "ui_RecorderClockDialog.h"
#include "widgets/UiTexts.h"

#include <QEvent>
#include <QLocale>

namespace quenda {

namespace {

constexpr const char* kNotANumber = "Please input a Num !";
constexpr const char* kOutOfRange = "Please input a legal value !";
constexpr int kHourLimit = 23;
constexpr int kMinuteSecondLimit = 59;

// The recorder keeps the year as six bits after 2000.
const QDate kFirstRecorderDate(2000, 1, 1);
const QDate kLastRecorderDate(2063, 12, 31);

bool AllDigits(const QString& text) {
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') return false;
    }
    return true;
}

// The locale's short date with the century shown: a two-digit year would
// make the picker guess the century.
QString ShortDateFormat() {
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy"))) format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

int FieldValue(const QString& text) { return text.toInt(); }

}  // namespace

RecorderClockDialog::RecorderClockDialog(MessageSink& messages, const QDateTime& now, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::RecorderClockDialog>()), messages_(messages) {
    ui_->setupUi(this);
    ApplyUiText(this);
    ui_->datePicker->setDisplayFormat(ShortDateFormat());
    ui_->datePicker->setDateRange(kFirstRecorderDate, kLastRecorderDate);
    ui_->datePicker->setDate(now.date());

    const QTime time = now.time();
    ui_->hourEdit->setText(QString::number(time.hour()));
    ui_->minuteEdit->setText(QString::number(time.minute()));
    ui_->secondEdit->setText(QString::number(time.second()));

    connect(ui_->hourEdit, &QLineEdit::textChanged, this, [this] { CheckTyped(ui_->hourEdit, kHourLimit); });
    connect(ui_->minuteEdit, &QLineEdit::textChanged, this,
            [this] { CheckTyped(ui_->minuteEdit, kMinuteSecondLimit); });
    connect(ui_->secondEdit, &QLineEdit::textChanged, this,
            [this] { CheckTyped(ui_->secondEdit, kMinuteSecondLimit); });
    for (NoPasteLineEdit* box : {ui_->hourEdit, ui_->minuteEdit, ui_->secondEdit}) box->installEventFilter(this);
}

RecorderClockDialog::~RecorderClockDialog() = default;

void RecorderClockDialog::CheckTyped(NoPasteLineEdit* box, int limit) {
    const QString text = box->text();
    const char* complaint = nullptr;
    if (!AllDigits(text)) {
        complaint = kNotANumber;
    } else if (!text.isEmpty()) {
        // A run of digits too long for an int is out of range as well.
        bool fits = false;
        const int value = text.toInt(&fits);
        if (!fits || value > limit) complaint = kOutOfRange;
    }
    if (!complaint) return;
    // The box is put right before the message, so nothing that runs while
    // the message is up sees the rejected text.
    box->setText(QStringLiteral("0"));
    messages_.ShowMessage(complaint);
}

bool RecorderClockDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        auto* box = qobject_cast<NoPasteLineEdit*>(watched);
        if (box && box->text().isEmpty()) {
            box->setText(QStringLiteral("0"));
            messages_.ShowMessage(kNotANumber);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void RecorderClockDialog::accept() {
    const QDate date = ui_->datePicker->date();
    fields_.year = QString::number(date.year());
    fields_.month = QString::number(date.month());
    fields_.day = QString::number(date.day());
    fields_.hour = ui_->hourEdit->text();
    fields_.minute = ui_->minuteEdit->text();
    fields_.second = ui_->secondEdit->text();
    QDialog::accept();
}

std::uint32_t RecorderClockDialog::ClockWord() const {
    return DeviceClockWord(FieldValue(fields_.year), FieldValue(fields_.month), FieldValue(fields_.day),
                           FieldValue(fields_.hour), FieldValue(fields_.minute), FieldValue(fields_.second));
}

}  // namespace quenda
