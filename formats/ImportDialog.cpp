#include "formats/ImportDialog.h"

#include "widgets/MessageBox.h"
#include "widgets/UiTexts.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace quenda {

ImportDialog::ImportDialog(QWidget* parent) : QDialog(parent), file_(new QLineEdit(this)), id_(new QSpinBox(this)) {
    setObjectName("importDialog");
    setWindowTitle(UiQString("Import"));
    file_->setObjectName("importFileEdit");
    file_->setMinimumWidth(320);
    auto* browse = new QPushButton(UiQString("Browse..."), this);
    browse->setObjectName("browseButton");
    connect(browse, &QPushButton::clicked, this, &ImportDialog::Browse);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(file_, 1);
    fileRow->addWidget(browse);
    id_->setObjectName("importIdSpin");
    id_->setRange(1, 127);
    id_->setValue(1);
    auto* form = new QFormLayout;
    form->addRow(UiQString("CSV, EDF or ring file:"), fileRow);
    form->addRow(UiQString("Import as ID:"), id_);
    auto* buttons = new QDialogButtonBox(this);
    auto* ok = buttons->addButton(UiQString("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName("okButton");
    ok->setDefault(true);
    buttons->addButton(UiQString("Cancel"), QDialogButtonBox::RejectRole)->setObjectName("cancelButton");
    connect(buttons, &QDialogButtonBox::accepted, this, &ImportDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ImportDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

std::string ImportDialog::FilePath() const { return file_->text().trimmed().toStdString(); }

int ImportDialog::Id() const { return id_->value(); }

void ImportDialog::accept() {
    if (FilePath().empty()) {
        ShowMessageBox(this, UiQString("Choose a CSV, EDF or ring file to import."));
        return;
    }
    QDialog::accept();
}

void ImportDialog::Browse() {
    QFileDialog dialog(this);
    dialog.setObjectName("importFileDialog");
    dialog.setFileMode(QFileDialog::ExistingFile);
    // The ring's own data files have no extension: they are listed by the 14
    // digits of their name.
    dialog.setNameFilters({UiQString("CSV, EDF or ring file") +
                               QStringLiteral(" (*.csv *.txt *.edf *.CSV *.EDF %1)").arg(QLatin1String(kRingFileGlob)),
                           UiQString("All files (*)")});
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        file_->setText(dialog.selectedFiles().front());
}

DateOrder AskDateOrder(QWidget* parent, const QString& fileName) {
    QMessageBox box(parent);
    box.setObjectName("dateOrderQuestion");
    box.setWindowTitle(UiQString("Import"));
    box.setText(UiQString("The dates in %1 fit both day/month/year and month/day/year. Which does the file use?")
                    .arg(fileName));
    auto* dmy = box.addButton(UiQString("Day/Month/Year"), QMessageBox::AcceptRole);
    dmy->setObjectName("dmyButton");
    auto* mdy = box.addButton(UiQString("Month/Day/Year"), QMessageBox::AcceptRole);
    mdy->setObjectName("mdyButton");
    box.addButton(QMessageBox::Cancel);
    box.exec();
    if (box.clickedButton() == dmy) return DateOrder::Dmy;
    if (box.clickedButton() == mdy) return DateOrder::Mdy;
    return DateOrder::Unknown;
}

std::optional<std::filesystem::path> AskScoringXml(QWidget* parent, const std::filesystem::path& edf,
                                                   const std::filesystem::path& beside) {
    const QString xmlName = QString::fromStdString(beside.filename().string());
    QMessageBox box(parent);
    box.setObjectName("scoringQuestion");
    box.setWindowTitle(UiQString("Import"));
    box.setText(UiQString("%1 lies beside %2. Is it the study's scoring (respiratory events and sleep stages)? "
                          "It is kept with the night and counted in its figures.")
                    .arg(xmlName, QString::fromStdString(edf.filename().string())));
    auto* use = box.addButton(UiQString("Use %1").arg(xmlName), QMessageBox::AcceptRole);
    use->setObjectName("useScoringButton");
    auto* other = box.addButton(UiQString("Choose Another..."), QMessageBox::ActionRole);
    other->setObjectName("chooseScoringButton");
    auto* without = box.addButton(UiQString("Without"), QMessageBox::RejectRole);
    without->setObjectName("noScoringButton");
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(use);
    box.exec();
    if (box.clickedButton() == use) return beside;
    if (box.clickedButton() == without) return std::filesystem::path{};
    if (box.clickedButton() != other) return std::nullopt;
    QFileDialog dialog(parent);
    dialog.setObjectName("scoringFileDialog");
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({UiQString("Scoring XML file") + QStringLiteral(" (*.xml *.XML)"), UiQString("All files (*)")});
    dialog.setDirectory(QString::fromStdString(beside.parent_path().string()));
    dialog.selectFile(xmlName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return std::filesystem::path(dialog.selectedFiles().front().toStdString());
}

}  // namespace quenda
