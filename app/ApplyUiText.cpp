#include "app/ApplyUiText.h"

#include "app/UiText.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>

namespace quenda {

namespace {

QString Replaced(const QString& text) {
    return text.isEmpty() ? text : QString::fromStdString(UiText(text.toStdString()));
}

}  // namespace

void ApplyUiText(QWidget* dialog) {
    dialog->setWindowTitle(Replaced(dialog->windowTitle()));
    for (QLabel* label : dialog->findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) label->setText(Replaced(label->text()));
    }
    for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) button->setText(Replaced(button->text()));
    for (QGroupBox* group : dialog->findChildren<QGroupBox*>()) group->setTitle(Replaced(group->title()));
}

}  // namespace quenda
