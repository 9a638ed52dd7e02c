#include "formats/FileCommands.h"

#include "analysis/Analysis.h"
#include "base/CommandIds.h"
#include "base/StringFormat.h"
#include "base/UiText.h"
#include "document/AppContext.h"
#include "formats/Edf.h"
#include "formats/Export.h"
#include "formats/ExportProgressDialog.h"
#include "formats/ExportText.h"
#include "formats/OtherIdDialog.h"
#include "formats/Workbook.h"
#include "store/KeptDownload.h"
#include "widgets/MessageBox.h"
#include "widgets/UiTexts.h"

#include <QFileDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QTreeView>

#include <algorithm>

#include <filesystem>
#include <memory>
#include <optional>

namespace quenda {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

void Report(QWidget* parent, const FileResult& result, QMessageBox::Icon icon = QMessageBox::NoIcon) {
    QString text = Q(result.message);
    if (!result.detail.empty()) text += "\n" + Q(result.detail);
    ShowMessageBox(parent, text, icon);
}

// The chosen file name, or nothing when the dialog was cancelled. Saving asks
// before it overwrites a file, and a name typed without an extension gets
// `defaultSuffix`.
// Qt's own dialog opens too narrow for its columns ("309...KiB"): it shows the
// details, wide enough for a long name, the size, the type and the date, and
// the columns other than the name take what their contents need.
void SizeForDetails(QFileDialog& dialog) {
    dialog.setViewMode(QFileDialog::Detail);
    const QFontMetrics fm(dialog.font());
    // Room for a name of some 48 characters and the widest size, type and date.
    const int columns = fm.horizontalAdvance(QString(48, u'n')) + fm.horizontalAdvance(QStringLiteral("  1023.99 KiB  ")) +
                        fm.horizontalAdvance(QStringLiteral("  plain text document  ")) +
                        fm.horizontalAdvance(QStringLiteral("  31 Dec 2026 23:59:59  "));
    const int sidebar = fm.horizontalAdvance(QString(16, u'n'));
    dialog.resize(std::max(dialog.width(), columns + sidebar + 60), std::max(dialog.height(), fm.height() * 28));
    if (auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = view->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int c = 1; c < header->count(); ++c) header->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    }
}

std::optional<std::string> AskFileName(QWidget* parent, const char* objectName, QFileDialog::AcceptMode mode,
                                       const std::string& defaultName, const QStringList& filters,
                                       const QString& defaultSuffix, const std::filesystem::path& startIn = {}) {
    QFileDialog dialog(parent);
    if (!startIn.empty()) dialog.setDirectory(QString::fromStdString(startIn.string()));
    dialog.setObjectName(objectName);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(defaultSuffix);
    SizeForDetails(dialog);
    if (!defaultName.empty()) dialog.selectFile(Q(defaultName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return WithDefaultExtension(dialog.selectedFiles().front().toStdString(), defaultSuffix.toStdString());
}

std::string PatientName(const AppContext& context) { return FieldTextUtf8(context.patient.Current().name); }

int UnitSetup(const AppContext& context) {
    return context.settings.ReadInt(settings_key::kUnitSetup, settings_default::kUnitSetup);
}

// A file name may not carry a path separator, whatever the patient is called.
std::string FileNameSafe(std::string name) {
    for (char& c : name) {
        if (c == '/') c = '-';
    }
    return name;
}

// Save Data's last step. Writing a record with no details at all could only
// erase what the slot holds (details saved in an earlier run, for instance,
// after a download that knows only the ID), so such a record is not stored.
void StorePatientRecord(QWidget* parent, AppContext& context) {
    const auto samples = context.store.CurrentSamples();
    if (samples.empty()) return;
    const int id = samples.front().id;
    if (id < 1 || id > kPatientSlots) return;
    if (!HoldsPatientInfo(context.patient.Current())) return;
    if (const FileResult saved = context.patient.SavePatient(id); !saved) Report(parent, saved, QMessageBox::Warning);
}

// The data file, and the ID check that follows it. False when the command ends.
bool SaveDataFile(QWidget* parent, AppContext& context, const std::string& path) {
    if (FileResult saved = SaveCurrentDataSet(path, context.store, context.reportTitle.Text()); !saved) {
        saved.message = UiText(str::kCantCreateFile, saved.message);
        Report(parent, saved);
        return false;
    }
    const auto samples = context.store.CurrentSamples();
    const int id = samples.empty() ? 0 : samples.front().id;
    // 129 passes, as it always has; the slot step then skips it.
    if (id < 1 || id > kPatientSlots + 1) {
        ShowMessageBox(parent, UiQString(kPatientIdInvalidStringId, kPatientIdInvalid));
        return false;
    }
    return true;
}

}  // namespace

ExportRequest CurrentExportRequest(AppContext& context) {
    ExportRequest request =
        MakeExportRequest(context.store.CurrentSamples(), context.patient.Current(), context.store.CurrentId,
                          context.settings, context.clinical.CurrentExclusions());
    request.oneNight = context.oneLibraryNight;
    request.scoring = context.clinical.Scoring();
    return request;
}

namespace {

bool SaveExport(QWidget* parent, AppContext& context, ExportKind kind, const std::string& path) {
    const ExportRequest request = CurrentExportRequest(context);
    std::unique_ptr<ExportProgressDialog> progress;
    std::function<void(int)> advance;
    if (kind == ExportKind::Workbook) {
        progress = std::make_unique<ExportProgressDialog>(static_cast<int>(request.samples.size()), parent);
        progress->show();
        advance = [&progress](int n) { progress->Advance(n); };
        progress->Advance(0);
    }
    std::vector<std::filesystem::path> files;
    const FileResult written = ExportDataSet(kind, path, request, advance, &files);
    progress.reset();
    if (!written) {
        Report(parent, written);
        return false;
    }
    // EDF+ writes one file per night: the names beyond the one chosen are
    // said, so none goes unnoticed.
    if (files.size() > 1) {
        QString text = UiQString(export_message::kEdfNightFiles);
        for (const auto& file : files) text += "\n" + Q(file.string());
        ShowMessageBox(parent, text);
    }
    return true;
}

QString DataFileMessage(const FileResult& result, const std::string& path) {
    const std::string pastEnd = FillPlaceholders(data_file_message::kPastEnd, {path});
    std::string text = result.message;
    if (text == data_file_message::kCantOpen) {
        text = UiText(str::kCantOpenFile, text);
    } else if (text == pastEnd) {
        text = FillPlaceholders(UiText(str::kReadPastEnd, data_file_message::kPastEnd), {path});
    }
    if (!result.detail.empty()) text += "\n" + result.detail;
    return Q(text);
}

}  // namespace

void RunSaveData(QWidget* parent, AppContext& context) {
    const std::string defaultName = "ID " + std::to_string(context.store.CurrentId) + "  Name " + PatientName(context);
    const auto chosen = AskFileName(parent, "saveDataDialog", QFileDialog::AcceptSave, FileNameSafe(defaultName),
                                    {"(*.dat)", "(*.txt)", "(*.xls)", "(*.xlsx)", "(*.edf)", "(*.csv)"}, "dat");
    if (chosen) {
        const ExportKind kind = ExportKindOf(*chosen);
        switch (kind) {
            case ExportKind::DataFile:
                if (!SaveDataFile(parent, context, *chosen)) return;
                break;
            case ExportKind::Text:
            case ExportKind::Workbook:
            case ExportKind::Edf:
            case ExportKind::Csv:
                if (!SaveExport(parent, context, kind, *chosen)) return;
                break;
            case ExportKind::Unknown:
                // Said rather than silently writing nothing; the details are still kept below.
                ShowMessageBox(parent, UiQString(export_message::kUnknownType));
                break;
        }
    }
    StorePatientRecord(parent, context);
}

bool RunOpenSavedData(QWidget* parent, AppContext& context) {
    const auto chosen = AskFileName(parent, "openDataDialog", QFileDialog::AcceptOpen, {}, {"Data file(*.dat)"}, "dat",
                                    NewestKeptDownload(DefaultDownloadsRoot()));
    return chosen && OpenSavedDataFile(parent, context, *chosen);
}

bool OpenSavedDataFile(QWidget* parent, AppContext& context, const std::string& path) {
    // Read completely first: a file that fails leaves everything as it was.
    DataFileContents contents;
    if (const FileResult read = ReadDataFile(path, contents); !read) {
        const bool pastEnd = read.message.rfind("Attempted", 0) == 0;
        ShowMessageBox(parent, DataFileMessage(read, path), pastEnd ? QMessageBox::Critical : QMessageBox::NoIcon);
        return false;
    }
    context.reportTitle.Set(contents.title);
    if (const FileResult loaded = UseAsCurrentData(context, contents.id, contents.records, PatientSource::PatientFile);
        !loaded) {
        Report(parent, loaded, QMessageBox::Warning);
    }
    return true;
}

bool RunOpenOtherIdData(QWidget* parent, AppContext& context) {
    OtherIdDialog dialog(context.store, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    const int id = dialog.SelectedId();
    // Changed only once an ID is chosen: a Done without a selection followed
    // by Cancel keeps the data and the patient still on screen.
    if (const FileResult loaded =
            UseAsCurrentData(context, id, context.store.IdRecords(id), PatientSource::SavedThisRun);
        !loaded) {
        Report(parent, loaded, QMessageBox::Warning);
    }
    return true;
}

void RunEventListing(QWidget* parent, AppContext& context) {
    const auto samples = context.store.CurrentSamples();
    ComputeStatistics(samples, ReadThresholds(context.settings), context.analysis);
    const std::string defaultName =
        "ID " + std::to_string(context.store.CurrentId) + "  Name Event " + PatientName(context);
    const auto chosen = AskFileName(parent, "eventListingDialog", QFileDialog::AcceptSave, FileNameSafe(defaultName),
                                    {"Data file(*.txt)"}, "txt");
    if (!chosen) return;
    if (!HasExtension(*chosen, "txt")) {
        ShowMessageBox(parent, UiQString(export_message::kUnknownEventType));
        return;
    }
    const PatientBlock block = MakePatientBlock(context.patient.Current(), context.store.CurrentId, UnitSetup(context));
    if (const FileResult written = WriteEventListing(*chosen, block, samples, context.analysis); !written) {
        Report(parent, written);
    }
}

}  // namespace quenda
