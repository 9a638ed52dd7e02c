#include "patient/DialogPrompts.h"

#include "app/UiText.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>

namespace quenda {

namespace {

// The old program's message boxes carried the program's name as caption; an
// empty title gives the application's display name here.
void ShowMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QString(), text, QMessageBox::Ok, parent);
    box.exec();
}

bool AskOkCancel(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QString(), text, QMessageBox::Ok | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

QString Replaced(const QString& text) {
    if (text.isEmpty()) return text;
    return QString::fromStdString(UiText(text.toStdString()));
}

}  // namespace

DialogPrompts WithMessageBoxes(DialogPrompts prompts, QWidget* parent) {
    QPointer<QWidget> owner(parent);
    if (!prompts.message) prompts.message = [owner](const QString& text) { ShowMessage(owner, text); };
    if (!prompts.confirm) prompts.confirm = [owner](const QString& text) { return AskOkCancel(owner, text); };
    return prompts;
}

QString UiQString(std::string_view builtIn) { return QString::fromStdString(UiText(builtIn)); }

QString UiQString(int stringId, std::string_view builtIn) {
    return QString::fromStdString(UiText(stringId, builtIn));
}

void ApplyUiTexts(QWidget* root) {
    root->setWindowTitle(Replaced(root->windowTitle()));
    for (auto* label : root->findChildren<QLabel*>()) label->setText(Replaced(label->text()));
    for (auto* button : root->findChildren<QAbstractButton*>()) button->setText(Replaced(button->text()));
    for (auto* group : root->findChildren<QGroupBox*>()) group->setTitle(Replaced(group->title()));
}

}  // namespace quenda
