#include "patient/ReportTitleDialog.h"

#include "patient/FieldText.h"
#include "patient/ReportTitle.h"
#include "ui_ReportTitleDialog.h"

#include <QFocusEvent>

namespace quenda {

ReportTitleDialog::ReportTitleDialog(const QString& title, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::ReportTitleDialog>()) {
    ui_->setupUi(this);
    ApplyUiText(this);
    prompts_ = WithMessageBoxes({}, this);
    ui_->titleEdit->setText(title);
    ui_->titleEdit->installEventFilter(this);
}

ReportTitleDialog::~ReportTitleDialog() = default;

void ReportTitleDialog::SetPrompts(DialogPrompts prompts) { prompts_ = WithMessageBoxes(std::move(prompts), this); }

QString ReportTitleDialog::Title() const { return ui_->titleEdit->text(); }

bool ReportTitleDialog::CheckTitle() {
    const std::string text = ui_->titleEdit->text().toStdString();
    if (CharacterCount(text) <= kReportTitleMaxCharacters) return true;
    repairing_ = true;
    prompts_.message(UiQString(kReportTitleTooLong));
    ui_->titleEdit->setText(QString::fromStdString(FirstCharacters(text, kReportTitleMaxCharacters)));
    ui_->titleEdit->selectAll();
    ui_->titleEdit->setFocus(Qt::OtherFocusReason);
    repairing_ = false;
    return false;
}

bool ReportTitleDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->titleEdit && event->type() == QEvent::FocusOut && !repairing_) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // A cut title has the focus back with its text selected; the box's own
        // focus-out handling would drop that selection.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && !CheckTitle()) return true;
    }
    return QDialog::eventFilter(watched, event);
}

void ReportTitleDialog::accept() {
    if (!CheckTitle()) return;
    QDialog::accept();
}

}  // namespace quenda
