#include "formats/ImportCommand.h"

#include "formats/FileCommands.h"
#include "formats/Import.h"
#include "formats/ImportDialog.h"
#include "formats/Scoring.h"
#include "document/AppContext.h"
#include "widgets/MessageBox.h"
#include "widgets/UiTexts.h"

#include <QGuiApplication>
#include <QCursor>

namespace quenda {

bool RunImport(QWidget* parent, AppContext& context, const ImportKeptHook& kept) {
    ImportDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    return ImportIntoProgram(parent, context, dialog.FilePath(), dialog.Id(), kept);
}

bool ImportIntoProgram(QWidget* parent, AppContext& context, const std::string& path, int id,
                       const ImportKeptHook& kept) {
    const QString shown = QString::fromStdString(path);
    ImportOptions options{id, DateOrder::Unknown};
    ImportResult imported;
    while (true) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        imported = ImportFile(path, options);
        QGuiApplication::restoreOverrideCursor();
        if (imported.ok || !imported.dateOrderAmbiguous || options.dateOrder != DateOrder::Unknown) break;
        options.dateOrder = AskDateOrder(parent, shown);
        if (options.dateOrder == DateOrder::Unknown) return false;
    }
    if (!imported.ok) {
        ShowMessageBox(parent, UiQString("%1 could not be imported: %2").arg(shown, QString::fromStdString(imported.message)),
                       QMessageBox::Warning);
        return false;
    }
    // A sleep study's scoring, read before anything is kept: a scoring file
    // that cannot be read refuses the import, as `nights add` refuses it.
    StudyScoring scoring{true, {}, {}};
    if (IsEdfName(path)) {
        std::filesystem::path xml;
        if (const std::filesystem::path beside = ScoringXmlBeside(path); !beside.empty()) {
            const auto chosen = AskScoringXml(parent, path, beside);
            if (!chosen) return false;
            xml = *chosen;
        }
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        scoring = ReadStudyScoring(path, xml);
        QGuiApplication::restoreOverrideCursor();
        if (!scoring.ok) {
            ShowMessageBox(parent,
                           UiQString("%1 could not be imported: %2").arg(shown, QString::fromStdString(scoring.message)),
                           QMessageBox::Warning);
            return false;
        }
    }
    std::filesystem::path keptAs;
    if (const FileResult written = KeepImport(path, id, imported.samples, DefaultImportsRoot(), keptAs); !written) {
        ShowMessageBox(parent,
                       QString::fromStdString(written.message) +
                           (written.detail.empty() ? QString() : "\n" + QString::fromStdString(written.detail)),
                       QMessageBox::Warning);
        return false;
    }
    if (!OpenSavedDataFile(parent, context, keptAs.string())) return false;
    if (kept) {
        kept(parent, keptAs, scoring.study);
        // The scoring is the library's now: the data set takes it from there.
        context.clinical.Reload();
    }
    // What was read and what left out, so that no column is lost unseen.
    QString summary = UiQString("%1 imported: %2 samples.").arg(shown).arg(imported.samples.size());
    for (const std::string& line : imported.summary) summary += "\n" + QString::fromStdString(line);
    ShowMessageBox(parent, summary, QMessageBox::Information);
    return true;
}

}  // namespace quenda
