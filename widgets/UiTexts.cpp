#include "widgets/UiTexts.h"

#include "base/UiText.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>

namespace quenda {

namespace {

QString Replaced(const QString& text) { return text.isEmpty() ? text : UiQString(text.toStdString()); }

}  // namespace

QString UiQString(std::string_view builtIn) { return QString::fromStdString(UiText(builtIn)); }

QString UiQString(int stringId, std::string_view builtIn) { return QString::fromStdString(UiText(stringId, builtIn)); }

void ApplyUiText(QWidget* dialog) {
    dialog->setWindowTitle(Replaced(dialog->windowTitle()));
    for (QLabel* label : dialog->findChildren<QLabel*>()) label->setText(Replaced(label->text()));
    for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) button->setText(Replaced(button->text()));
    for (QGroupBox* group : dialog->findChildren<QGroupBox*>()) group->setTitle(Replaced(group->title()));
}

}  // namespace quenda
