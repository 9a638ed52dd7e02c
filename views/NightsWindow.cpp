#include "views/NightsWindow.h"

#include "base/CommandIds.h"
#include "document/AppContext.h"
#include "formats/Import.h"
#include "formats/ImportDialog.h"
#include "views/NightsChartWidget.h"
#include "views/NightsSummaryWidget.h"
#include "views/NightsTableModel.h"
#include "views/OpenNightFollower.h"
#include "views/PrintDialogs.h"
#include "widgets/MessageBox.h"
#include "widgets/UiTexts.h"

#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <sys/stat.h>

#include <algorithm>

namespace quenda {

namespace {

constexpr int kNoteColumn = static_cast<int>(NightColumn::Note);

QString Q(const std::string& text) { return QString::fromStdString(text); }

QString ResultText(const FileResult& result) { return Q(result.message); }

}  // namespace

NightsWindow::NightsWindow(AppContext& context, std::string library, NightsWindowHooks hooks, QWidget* parent)
    : QWidget(parent), context_(context), location_(std::move(library)), hooks_(std::move(hooks)) {
    setWindowTitle(UiQString("Nights"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(MakeFilterRow());

    message_ = new QLabel(this);
    message_->setWordWrap(true);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(message_);

    model_ = new NightsTableModel(shown_, this);
    model_->setNote = [this](std::size_t row, const QString& note) { return SetNote(row, note); };
    // The table sorts by the newest first as it is made, as the window does.
    table_ = new NightsTableView(model_, this);
    model_->sortBy = [this](int column, Qt::SortOrder order) {
        SortBy(static_cast<NightColumn>(column), order == Qt::AscendingOrder);
    };
    table_->installEventFilter(this);
    layout->addWidget(table_, 3);

    layout->addWidget(MakeChartPanel(), 2);
    // An empty library: the help line stands where the list would.
    layout->addStretch(0);
    layout->addLayout(MakeButtons());

    // The remembered filter and figure.
    idOrName_->setText(Q(context_.settings.ReadString(settings_key::kNightsIdOrName, "", 256)));
    from_->setText(Q(context_.settings.ReadString(settings_key::kNightsFrom, "", 16)));
    to_->setText(Q(context_.settings.ReadString(settings_key::kNightsTo, "", 16)));
    const int figure = context_.settings.ReadInt(settings_key::kNightsFigure, 0);
    figure_ = figure >= 0 && figure < kNightFigureCount ? static_cast<NightFigure>(figure) : NightFigure::Odi3;
    figureBox_->setCurrentIndex(static_cast<int>(figure_));
    split_->setText(Q(context_.settings.ReadString(settings_key::kNightsSplit, "", 16)));
    ApplySplit();

    ConnectControls();
    OpenLibrary();
    Reload();
}

QLayout* NightsWindow::MakeFilterRow() {
    auto* filterRow = new QHBoxLayout;
    idOrName_ = new QLineEdit(this);
    idOrName_->setPlaceholderText(UiQString("ID or name"));
    from_ = new QLineEdit(this);
    to_ = new QLineEdit(this);
    split_ = new QLineEdit(this);
    split_->setToolTip(
        UiQString("The summary sets the nights before this date (a therapy's start, say) beside "
                  "those from it on; the chart marks it. Empty: no split."));
    for (QLineEdit* date : {from_, to_, split_}) {
        date->setPlaceholderText(QStringLiteral("YYYY-MM-DD"));
        date->setMaxLength(10);
        date->setFixedWidth(date->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00")) + 24);
    }
    filterRow->addWidget(new QLabel(UiQString("ID or name:"), this));
    filterRow->addWidget(idOrName_, 1);
    filterRow->addWidget(new QLabel(UiQString("From:"), this));
    filterRow->addWidget(from_);
    filterRow->addWidget(new QLabel(UiQString("To:"), this));
    filterRow->addWidget(to_);
    filterRow->addSpacing(12);
    filterRow->addWidget(new QLabel(UiQString("Before/after:"), this));
    filterRow->addWidget(split_);
    return filterRow;
}

QWidget* NightsWindow::MakeChartPanel() {
    chartPanel_ = new QWidget(this);
    auto* chartLayout = new QVBoxLayout(chartPanel_);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    auto* chartRow = new QHBoxLayout;
    chartRow->addWidget(new QLabel(UiQString("Chart:"), this));
    figureBox_ = new QComboBox(this);
    for (int i = 0; i < kNightFigureCount; ++i)
        figureBox_->addItem(UiQString(NightFigureTitle(static_cast<NightFigure>(i))));
    chartRow->addWidget(figureBox_);
    chartRow->addStretch(1);
    chartLayout->addLayout(chartRow);
    chart_ = new NightsChartWidget(shown_, figure_, dividingDate_, this);
    chart_->clicked = [this](std::size_t row) { SelectRow(row); };
    chartLayout->addWidget(chart_, 1);
    summaryView_ = new NightsSummaryWidget(summary_, this);
    chartLayout->addWidget(summaryView_);
    brokenLine_ = new QLabel(this);
    brokenLine_->setWordWrap(true);
    brokenLine_->setStyleSheet(QStringLiteral("color: #8a5a00;"));
    brokenLine_->hide();
    chartLayout->addWidget(brokenLine_);
    return chartPanel_;
}

QLayout* NightsWindow::MakeButtons() {
    auto* buttons = new QHBoxLayout;
    auto button = [&](const char* text, auto action, bool needsRow) {
        auto* b = new QPushButton(UiQString(text), this);
        connect(b, &QPushButton::clicked, this, action);
        buttons->addWidget(b);
        if (needsRow) rowButtons_.push_back(b);
        return b;
    };
    button(
        "Open",
        [this] {
            if (const auto row = SelectedRow()) OpenRow(*row);
        },
        true);
    button(
        "Add Files...", [this] { AddFilesDialog(false); }, false);
    button(
        "Add Folder...", [this] { AddFilesDialog(true); }, false);
    button(
        "Remove from library",
        [this] {
            if (const auto row = SelectedRow()) RemoveRow(*row);
        },
        true);
    button(
        "Shift Clock...", [this] { AskShiftClock(); }, true);
    mergeButton_ = button(
        "Merge...", [this] { AskMerge(); }, false);
    splitButton_ = button(
        "Split...", [this] { AskSplit(); }, false);
    undoButton_ = button(
        "Unmerge",
        [this] {
            if (const auto row = SelectedRow()) UndoRow(*row);
        },
        false);
    buttons->addStretch(1);
    button(
        "Print...", [this] { RunCommand(cmd::kPrint); }, false);
    button(
        "Print Preview", [this] { RunCommand(cmd::kPrintPreview); }, false);
    button(
        "PDF...", [this] { PdfDialog(); }, false);
    return buttons;
}

void NightsWindow::ConnectControls() {
    for (QLineEdit* edit : {idOrName_, from_, to_}) {
        connect(edit, &QLineEdit::textChanged, this, [this] { ApplyFilter(); });
        connect(edit, &QLineEdit::editingFinished, this, [this] { SaveFilter(); });
    }
    connect(split_, &QLineEdit::textChanged, this, [this] { ApplySplit(); });
    connect(split_, &QLineEdit::editingFinished, this, [this] { SaveSplit(); });
    connect(figureBox_, &QComboBox::currentIndexChanged, this,
            [this](int index) { SetFigure(static_cast<NightFigure>(index)); });
    connect(table_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.column() != kNoteColumn) OpenRow(static_cast<std::size_t>(index.row()));
    });
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        chart_->selectedRow = SelectedRow();
        chart_->update();
        // The summary is the selected night's patient's.
        if (SummaryId() != summary_.id) Summarize();
        ShowState();
    });

    // A note's edit that ended lets a reload that waited for it go ahead.
    connect(table_->itemDelegate(), &QAbstractItemDelegate::closeEditor, this, [this] {
        QTimer::singleShot(0, this, [this] {
            if (reloadWaiting_) Reload();
        });
    });
    follow_ = new QTimer(this);
    follow_->setInterval(1000);
    connect(follow_, &QTimer::timeout, this, [this] { Follow(); });
    follow_->start();
}

NightsWindow::~NightsWindow() {
    // Closing takes the focus out of a filter box while the widgets below are
    // torn down; its editingFinished (and a selection change) would otherwise
    // reach this window after its own members are gone.
    follow_->stop();
    for (QObject* sender : std::initializer_list<QObject*>{idOrName_, from_, to_, split_, figureBox_, table_,
                                                           table_->selectionModel(), table_->itemDelegate()})
        if (sender) disconnect(sender, nullptr, this, nullptr);
}

NightsWindow::FileStamp NightsWindow::StampOf(const std::filesystem::path& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) return {};
    return {true, st.st_dev, st.st_ino, st.st_size,
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

std::int64_t NightsWindow::DataVersion() const { return library_ ? library_->DataVersion() : -1; }

bool NightsWindow::Editing() const { return static_cast<const NightsTableView*>(table_)->Editing(); }

void NightsWindow::Follow() {
    // A reload would close the editor and lose what is typed: the next look
    // comes after the edit.
    if (Editing()) return;
    const FileStamp now = StampOf(location_);
    // A path with nothing at it (a rebuild between moving a damaged file aside
    // and putting the new one there) is waited out, not made anew.
    if (now.exists) {
        const bool replaced = library_ && (now.device != stamp_.device || now.inode != stamp_.inode);
        const bool changedSinceFailing = !library_ && now != stamp_;
        if (replaced || changedSinceFailing) {
            library_.reset();
            Reload();
            return;
        }
    }
    if (reloadWaiting_ || (library_ && DataVersion() != dataVersion_)) Reload();
}

void NightsWindow::OpenLibrary() {
    // Stamped before opening: a file put there in between is opened again at
    // the next look, never missed.
    stamp_ = StampOf(location_);
    FileResult result;
    library_ = NightLibrary::Open(location_, result, LibraryOpening::Create, hooks_.passwordPrompt);
    problem_ = library_ ? QString() : ResultText(result);
}

void NightsWindow::Reload() {
    if (Editing()) {
        reloadWaiting_ = true;
        return;
    }
    reloadWaiting_ = false;
    if (!library_) OpenLibrary();
    all_.clear();
    // Read before the rows: a commit in between brings one more reload.
    dataVersion_ = DataVersion();
    if (library_) {
        // The listed figures follow the settings file of this moment.
        library_->SetFigureSettings(ReadFigureSettings(context_.settings));
        NightFilter everything;
        if (const FileResult listed = library_->List(everything, all_); !listed) {
            problem_ = ResultText(listed);
            all_.clear();
        } else {
            problem_.clear();
        }
    }
    Refill(true);
}

void NightsWindow::SetLibrary(std::string location) {
    location_ = std::move(location);
    library_.reset();
    stamp_ = {};
    Reload();
}

NightSearch NightsWindow::Filter() const {
    NightSearch filter;
    filter.idOrName = idOrName_->text().trimmed().toStdString();
    const std::string from = from_->text().trimmed().toStdString();
    const std::string to = to_->text().trimmed().toStdString();
    // A date being typed narrows nothing until it is a date.
    if (IsDateText(from)) filter.from = from;
    if (IsDateText(to)) filter.to = to;
    return filter;
}

void NightsWindow::SetFilter(const NightSearch& filter) {
    const QSignalBlocker a(idOrName_), b(from_), c(to_);
    idOrName_->setText(Q(filter.idOrName));
    from_->setText(Q(filter.from));
    to_->setText(Q(filter.to));
    ApplyFilter();
    SaveFilter();
}

void NightsWindow::SaveFilter() {
    const NightSearch filter = Filter();
    Settings& settings = context_.settings;
    bool saved = settings.WriteString(settings_key::kNightsIdOrName, filter.idOrName);
    saved = settings.WriteString(settings_key::kNightsFrom, filter.from) && saved;
    saved = settings.WriteString(settings_key::kNightsTo, filter.to) && saved;
    if (!saved) message_->setText(UiQString("The filter could not be remembered in the settings file."));
}

namespace {

// A date field's text: red while it is not a date (being typed, or wrong).
std::string DateField(QLineEdit* date) {
    const std::string text = date->text().trimmed().toStdString();
    date->setStyleSheet(text.empty() || IsDateText(text) ? QString() : QStringLiteral("color: #c00000;"));
    return text;
}

}  // namespace

void NightsWindow::ApplyFilter() {
    for (QLineEdit* date : {from_, to_}) DateField(date);
    Refill();
}

void NightsWindow::SetDividingDate(const std::string& date) {
    {
        const QSignalBlocker block(split_);
        split_->setText(Q(date));
    }
    ApplySplit();
    SaveSplit();
}

void NightsWindow::ApplySplit() {
    const std::string text = DateField(split_);
    dividingDate_ = IsDateText(text) ? text : std::string();
    Summarize();
    chart_->update();
}

void NightsWindow::SaveSplit() {
    if (!context_.settings.WriteString(settings_key::kNightsSplit, dividingDate_))
        message_->setText(UiQString("The date could not be remembered in the settings file."));
}

int NightsWindow::SummaryId() const {
    if (const auto row = SelectedRow()) return shown_[*row].id;
    return shown_.empty() ? 0 : shown_.front().id;
}

void NightsWindow::Summarize() {
    summary_ = SummarizeListed(shown_, SummaryId(), dividingDate_);
    summaryView_->Refresh();
}

void NightsWindow::Refill(bool keepScroll) {
    // Nothing to fill while the window is still being built.
    if (!chart_) return;
    std::optional<NightNumber> selected;
    if (const auto row = SelectedRow()) selected = shown_[*row].night;
    const int column = std::max(table_->currentIndex().column(), 0);
    const int across = table_->horizontalScrollBar()->value();
    const int down = table_->verticalScrollBar()->value();
    model_->Begin();
    shown_ = FilterNights(all_, Filter());
    SortNights(shown_, sortColumn_, ascending_);
    FindBroken();
    model_->End();
    if (selected) {
        for (std::size_t i = 0; i < shown_.size(); ++i) {
            if (shown_[i].night != *selected) continue;
            if (!keepScroll) {
                SelectRow(i);
                continue;
            }
            const QModelIndex index = model_->index(static_cast<int>(i), column);
            table_->selectionModel()->setCurrentIndex(index,
                                                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        }
    }
    if (keepScroll) {
        // The scroll bars take the new rows' range first.
        table_->doItemsLayout();
        table_->horizontalScrollBar()->setValue(across);
        table_->verticalScrollBar()->setValue(down);
    }
    chart_->selectedRow = SelectedRow();
    chart_->update();
    Summarize();
    ShowState();
}

void NightsWindow::ShowState() {
    const QString text = Message();
    message_->setText(text);
    message_->setVisible(!text.isEmpty());
    const bool empty = all_.empty();
    table_->setVisible(!empty);
    chartPanel_->setVisible(!empty);
    QFont font = message_->font();
    font.setPointSizeF(empty ? QWidget::font().pointSizeF() * 1.3 : QWidget::font().pointSizeF());
    message_->setFont(font);
    const bool hasRow = SelectedRow().has_value();
    for (QPushButton* b : rowButtons_) b->setEnabled(hasRow);
    ShowPutRight();
}

QString NightsWindow::Message() const {
    if (!problem_.isEmpty()) return problem_;
    if (all_.empty()) return UiQString(nights_text::kEmpty);
    return {};
}

std::optional<std::size_t> NightsWindow::SelectedRow() const {
    const QModelIndexList rows = table_->selectionModel()->selectedRows();
    if (rows.isEmpty()) return std::nullopt;
    const auto row = static_cast<std::size_t>(rows.front().row());
    return row < shown_.size() ? std::optional<std::size_t>(row) : std::nullopt;
}

void NightsWindow::SelectRow(std::size_t row) {
    if (row >= shown_.size()) return;
    const QModelIndex index = model_->index(static_cast<int>(row), 0);
    table_->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    table_->setCurrentIndex(index);
    table_->scrollTo(index);
}

void NightsWindow::SetFigure(NightFigure figure) {
    figure_ = figure;
    if (figureBox_->currentIndex() != static_cast<int>(figure)) {
        const QSignalBlocker block(figureBox_);
        figureBox_->setCurrentIndex(static_cast<int>(figure));
    }
    context_.settings.WriteInt(settings_key::kNightsFigure, static_cast<int>(figure));
    chart_->update();
}

void NightsWindow::SortBy(NightColumn column, bool ascending) {
    sortColumn_ = column;
    ascending_ = ascending;
    const QSignalBlocker block(table_->horizontalHeader());
    table_->horizontalHeader()->setSortIndicator(static_cast<int>(column),
                                                 ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    Refill();
}

bool NightsWindow::OpenRow(std::size_t row) {
    if (row >= shown_.size() || !library_) return false;
    const NightRow night = shown_[row];
    FileResult patient;
    if (const FileResult made = MakeNightCurrent(context_, *library_, night.night, patient); !made) {
        // A missing or changed file: said, and the current data stay.
        Tell(ResultText(made));
        return false;
    }
    if (!patient) Tell(ResultText(patient));
    if (hooks_.opened) hooks_.opened(night);
    return true;
}

bool NightsWindow::SetNote(std::size_t row, const QString& note) {
    if (row >= shown_.size() || !library_) return false;
    const std::string text = note.toStdString();
    if (text == shown_[row].note) return true;
    if (const FileResult saved = library_->SetNote(shown_[row].night, text); !saved) {
        Tell(ResultText(saved));
        return false;
    }
    shown_[row].note = text;
    for (NightRow& r : all_) {
        if (r.night == shown_[row].night) r.note = text;
    }
    return true;
}

bool NightsWindow::RemoveRow(std::size_t row) {
    if (row >= shown_.size() || !library_) return false;
    const NightRow& night = shown_[row];
    const QString question = UiQString(nights_text::kAskRemove).arg(Q(night.date)).arg(night.id);
    if (!Confirm(question)) return false;
    if (const FileResult removed = library_->Remove(night.night); !removed) {
        Tell(ResultText(removed));
        return false;
    }
    Reload();
    return true;
}

void NightsWindow::AddPaths(const std::vector<std::filesystem::path>& paths) {
    if (!library_) {
        Reload();
        if (!library_) {
            Tell(problem_);
            return;
        }
    }
    const AddOptions options = hooks_.addOptions ? hooks_.addOptions() : AddOptions{};
    const AddResult added = library_->AddPaths(paths, options);
    Reload();
    if (!added.nights.empty()) {
        for (std::size_t i = 0; i < shown_.size(); ++i) {
            if (shown_[i].night == added.nights.back()) SelectRow(i);
        }
    }
    if (!added.result) {
        QString text = UiQString("Some files could not be added to the library:");
        for (const std::string& failure : added.failures) text += QStringLiteral("\n") + Q(failure);
        Tell(text);
    }
}

bool NightsWindow::SelectNightOf(int id, std::span<const SampleRecord> samples) {
    if (!library_ || samples.empty()) return false;
    Reload();
    const std::vector<NightLibrary::PlacedNight> placed = library_->NightsIn(id, samples);
    for (auto it = placed.rbegin(); it != placed.rend(); ++it) {
        if (!it->night) continue;
        for (std::size_t i = 0; i < shown_.size(); ++i) {
            if (shown_[i].night == *it->night) {
                SelectRow(i);
                return true;
            }
        }
    }
    return false;
}

NightsReport NightsWindow::Report() const {
    NightsReport report;
    report.rows = shown_;
    report.figure = figure_;
    report.filter = Filter();
    report.dividingDate = dividingDate_;
    report.library = ShownLocation(location_);
    return report;
}

ChartLayout NightsWindow::Chart() const { return chart_->Layout(); }

QWidget* NightsWindow::ChartWidget() const { return chart_; }

bool NightsWindow::WritePdf(const std::filesystem::path& path) {
    const NightsReport report = Report();
    if (report.rows.empty()) {
        Tell(Q(NoNightsText(report.filter)));
        return false;
    }
    std::string error;
    if (WriteNightsPdf(path, report, error)) return true;
    Tell(UiQString("The PDF %1 could not be written: %2").arg(Q(path.string()), Q(error)));
    return false;
}

bool NightsWindow::HandlesCommand(int commandId) const {
    return commandId == cmd::kPrint || commandId == cmd::kPrintPreview;
}

void NightsWindow::RunCommand(int commandId) {
    const NightsReport report = Report();
    QPrinter printer(QPrinter::HighResolution);
    SetUpPrinter(printer);
    const int pages = NightsReportPageCount(report, LandscapeA4Page());
    printer.setFromTo(1, pages);
    if (commandId == cmd::kPrint) {
        QPrintDialog dialog(&printer, this);
        dialog.setMinMax(1, pages);
        if (dialog.exec() != QDialog::Accepted) return;
        if (!PaintNightsPages(printer, report)) Tell(UiQString("Could not start print job."));
    } else if (commandId == cmd::kPrintPreview) {
        QPrintPreviewDialog preview(&printer, this);
        connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                [&report](QPrinter* target) { PaintNightsPages(*target, report); });
        preview.exec();
    }
}

bool NightsWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == table_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Enter in a note's editor ends the edit and comes on here, the
        // editor not taking it: it opens nothing.
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !Editing()) {
            if (const auto row = SelectedRow()) OpenRow(*row);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void NightsWindow::Tell(const QString& text) {
    if (hooks_.tell) {
        hooks_.tell(text);
    } else {
        ShowMessageBox(this, text, QMessageBox::Warning);
    }
}

bool NightsWindow::Confirm(const QString& text) {
    return hooks_.confirm ? hooks_.confirm(text) : AskOkCancel(this, text);
}

void NightsWindow::AddFilesDialog(bool folder) {
    std::vector<std::filesystem::path> chosenPaths;
    if (folder) {
        const QString chosen = QFileDialog::getExistingDirectory(this, UiQString("Add a kept-download folder"));
        if (chosen.isEmpty()) return;
        chosenPaths.emplace_back(chosen.toStdString());
    } else {
        // The ring's own data files have no extension: they are listed by the
        // 14 digits of their name.
        const QString filter = UiQString("Data files and other oximeters' files") +
                               QStringLiteral(" (*.dat *.csv *.edf *.CSV *.EDF %1)").arg(QLatin1String(kRingFileGlob));
        const QStringList chosen = QFileDialog::getOpenFileNames(
            this, UiQString("Add data files"), QString(), filter + QStringLiteral(";;") + UiQString("All files (*)"));
        for (const QString& file : chosen) chosenPaths.emplace_back(file.toStdString());
    }
    const auto paths = KeepForeignFiles(chosenPaths);
    if (!paths.empty()) AddPaths(paths);
}

std::vector<std::filesystem::path> NightsWindow::KeepForeignFiles(const std::vector<std::filesystem::path>& chosen) {
    std::vector<std::filesystem::path> paths;
    QStringList refused;
    const auto keep = [&](const std::filesystem::path& file) {
        DateOrder order = DateOrder::Unknown;
        while (true) {
            std::string error;
            bool ambiguous = false;
            // As ID 1, as quenda-cli's nights add does without --id.
            if (const auto kept = KeepForeignFile(file, 1, order, error, ambiguous)) {
                paths.push_back(*kept);
                return;
            }
            if (ambiguous && order == DateOrder::Unknown) {
                order = AskDateOrder(this, QString::fromStdString(file.string()));
                if (order != DateOrder::Unknown) continue;
                return;
            }
            refused << QString::fromStdString(error);
            return;
        }
    };
    for (const auto& path : chosen) {
        const auto foreign = ForeignFilesAt(path);
        for (const auto& file : foreign) keep(file);
        if (foreign.empty()) paths.push_back(path);
    }
    if (!refused.isEmpty()) Tell(refused.join(QStringLiteral("\n")));
    return paths;
}

void NightsWindow::PdfDialog() {
    // An empty list is said before a file is asked for.
    if (shown_.empty()) {
        Tell(Q(NoNightsText(Filter())));
        return;
    }
    QString chosen = QFileDialog::getSaveFileName(this, UiQString("PDF"), QStringLiteral("nights.pdf"),
                                                  QStringLiteral("PDF(*.pdf)"));
    if (chosen.isEmpty()) return;
    if (!chosen.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) chosen += QStringLiteral(".pdf");
    WritePdf(chosen.toStdString());
}

}  // namespace quenda
