#pragma once

#include <QDateTime>
#include <QDialog>
#include <QString>

#include <cstdint>
#include <memory>

namespace Ui {
class RecorderClockDialog;
}

namespace quenda {

class NoPasteLineEdit;
class MessageSink;

// "Set Date And Time": the date the recorder's clock is set to, from a date
// picker, and the time from three edit boxes that accept only a number in
// range (anything else is replaced by "0" with a message).
class RecorderClockDialog : public QDialog {
    Q_OBJECT
public:
    enum ControlId { kDatePicker = 1051, kHourBox = 1048, kMinuteBox = 1049, kSecondBox = 1050 };

    // The dialog opens on `now` (local date and time).
    explicit RecorderClockDialog(MessageSink& messages, const QDateTime& now = QDateTime::currentDateTime(),
                                 QWidget* parent = nullptr);
    ~RecorderClockDialog() override;

    // The six fields as decimal text, as OK took them.
    struct Fields {
        QString year, month, day, hour, minute, second;
    };
    const Fields& Taken() const { return fields_; }

    // The fields packed the way the recorder takes its clock (an empty field
    // counts as 0).
    std::uint32_t ClockWord() const;

public slots:
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The checks made whenever a box's text changes.
    void CheckTyped(NoPasteLineEdit* box, int limit);

    std::unique_ptr<Ui::RecorderClockDialog> ui_;
    MessageSink& messages_;
    Fields fields_;
};

}  // namespace quenda
