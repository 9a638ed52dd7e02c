#pragma once

#include "base/CommandTarget.h"
#include "nights/BrokenNight.h"
#include "nights/Library.h"
#include "views/NightsPage.h"

#include <QWidget>

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;

namespace quenda {

struct AppContext;
class NightsChartWidget;
class NightsSummaryWidget;
class NightsTableModel;

// Settings-file keys of the Nights window: its filter, its chart's figure and
// the date its summary splits the nights at.
namespace settings_key {
inline constexpr const char* kNightsIdOrName = "NightsIdOrName";
inline constexpr const char* kNightsFrom = "NightsFrom";
inline constexpr const char* kNightsTo = "NightsTo";
inline constexpr const char* kNightsFigure = "NightsFigure";
inline constexpr const char* kNightsSplit = "NightsSplit";
}  // namespace settings_key

// The user texts of the window.
namespace nights_text {
inline constexpr const char* kEmpty = "No nights yet: download from the recorder, or add data files";
inline constexpr const char* kFileMissing = "file missing";
inline constexpr const char* kAskRemove =
    "Remove the night of %1 (ID %2) from the library? Its data file stays where it is.";
}  // namespace nights_text

// What the window asks of the program around it.
struct NightsWindowHooks {
    // What adding files needs (thresholds, patient names).
    std::function<AddOptions()> addOptions;
    // A night became the current data set: show it (page 0, Trend).
    std::function<void(const NightRow&)> opened;
    // Questions and messages; empty: the program's message boxes.
    std::function<bool(const QString&)> confirm;
    std::function<void(const QString&)> tell;
    // Asks for a clinic server's password when libpq's own means give none.
    PasswordPrompt passwordPrompt;
};

// The "Nights" window: the library's nights, newest first, with a filter
// remembered in the settings file, an editable note, the chart of one figure
// across the listed nights, their period summary (split before and after a
// date, also remembered, when one is given), and the commands over them. Print and Print
// Preview of the main window print its pages while it is the active window.
class NightsWindow : public QWidget, public CommandTarget {
public:
    // `library`: its location, a file or a server (nights/LibraryLocation.h).
    NightsWindow(AppContext& context, std::string library, NightsWindowHooks hooks, QWidget* parent = nullptr);
    ~NightsWindow() override;

    // Reads the library again (after a download, for instance), keeping the
    // order, the filter, the selected night and where the list is scrolled
    // to. While a note is being edited it waits for the edit to end.
    //
    // The window also follows the library by itself, whoever changes it
    // (quenda-cli, another window, a download): about once a second it asks
    // its connection whether another one has committed since, and looks
    // whether the file at the path is still the one it has open (a rebuild
    // puts a new file there), or opens now when it could not before.
    void Reload();
    // Lists the library at `location` from now on (Options > Library...).
    void SetLibrary(std::string location);
    const std::string& Library() const { return location_; }
    // Selects the listed night holding the newest of these samples' nights
    // (an opened file or a finished download); false when none is listed.
    bool SelectNightOf(int id, std::span<const SampleRecord> samples);

    // The rows as listed, in the list's order.
    const std::vector<NightRow>& Rows() const { return shown_; }
    // The listed row selected, if any.
    std::optional<std::size_t> SelectedRow() const;
    void SelectRow(std::size_t row);
    NightSearch Filter() const;
    void SetFilter(const NightSearch& filter);
    NightFigure Figure() const { return figure_; }
    void SetFigure(NightFigure figure);
    // The date the summary splits the listed nights at and the chart marks:
    // "YYYY-MM-DD", or empty for none (a date being typed splits nothing
    // until it is a date).
    const std::string& DividingDate() const { return dividingDate_; }
    void SetDividingDate(const std::string& date);
    // The period summary shown under the chart: that of the listed nights of
    // one ID (a summary is a patient's), the selected night's, or with none
    // selected the first listed night's.
    const NightsSummary& Summary() const { return summary_; }
    int SummaryId() const;
    void SortBy(NightColumn column, bool ascending);
    // What the window says instead of, or above, the list ("" when nothing).
    QString Message() const;

    // The commands, as the buttons and keys run them.
    bool OpenRow(std::size_t row);
    bool SetNote(std::size_t row, const QString& note);
    bool RemoveRow(std::size_t row);
    // Moves the night's times by `seconds` (Shift Clock..., in ShiftClockDialog.cpp).
    bool ShiftClock(std::size_t row, std::int64_t seconds);
    // Putting nights right as `quenda-cli nights merge`, `split`, `unmerge`
    // and `unsplit` do (in NightsPutRight.cpp); each is said when the library
    // refuses it, and selects the night it leaves. Merge joins the night with
    // MergePartner, after asking.
    std::optional<NightNumber> MergePartner(std::size_t row) const;
    bool MergeRow(std::size_t row);
    // Before the night's sample `index` (1 to its samples - 1).
    bool SplitRow(std::size_t row, std::int32_t index);
    // Unmerge of a merged night, Unsplit of either half of a split one.
    bool UndoRow(std::size_t row);
    // The listed nights that may be one night broken in two, each marked in
    // the list; those of the summary's ID said in a line under it.
    const std::vector<BrokenNight>& Broken() const { return broken_; }
    QString BrokenLine() const;
    void AddPaths(const std::vector<std::filesystem::path>& paths);
    bool WritePdf(const std::filesystem::path& path);
    NightsReport Report() const;
    ChartLayout Chart() const;

    QTableView* Table() const { return table_; }
    QWidget* ChartWidget() const;
    NightsSummaryWidget* SummaryWidget() const { return summaryView_; }

    bool HandlesCommand(int commandId) const override;
    void RunCommand(int commandId) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What identifies the file at the library's path.
    struct FileStamp {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        std::int64_t modified = 0;  // nanoseconds
        bool operator==(const FileStamp&) const = default;
    };
    static FileStamp StampOf(const std::filesystem::path& file);
    // The connection's PRAGMA data_version; -1 without one.
    std::int64_t DataVersion() const;
    void Follow();
    bool Editing() const;
    void OpenLibrary();
    void ApplyFilter();
    void SaveFilter();
    void ApplySplit();
    void SaveSplit();
    // The summary of the rows listed now, shown.
    void Summarize();
    // `keepScroll`: where the list is scrolled to stays (a reload); else the
    // selected row is scrolled into view (a new filter or order).
    void Refill(bool keepScroll = false);
    void ShowState();
    void Tell(const QString& text);
    // The chosen paths with other oximeters' files (and a phone app's folder
    // of them) kept as data files first; those refused are told in one message.
    std::vector<std::filesystem::path> KeepForeignFiles(const std::vector<std::filesystem::path>& chosen);
    bool Confirm(const QString& text);
    void AddFilesDialog(bool folder);
    void AskShiftClock();
    void AskMerge();
    void AskSplit();
    void SelectNight(NightNumber night);
    void FindBroken();
    // The put-right buttons and the line under the summary, for the selected night.
    void ShowPutRight();
    void PdfDialog();
    // The parts of the window, made once by the constructor in this order.
    QLayout* MakeFilterRow();
    QWidget* MakeChartPanel();
    QLayout* MakeButtons();
    void ConnectControls();

    AppContext& context_;
    std::string location_;
    NightsWindowHooks hooks_;
    std::unique_ptr<NightLibrary> library_;
    FileStamp stamp_;                // of the file when it was last opened
    std::int64_t dataVersion_ = -1;  // when the rows were last read
    bool reloadWaiting_ = false;     // for an edit to end
    QTimer* follow_ = nullptr;
    QString problem_;
    std::vector<NightRow> all_;
    std::vector<NightRow> shown_;
    NightColumn sortColumn_ = NightColumn::Date;
    bool ascending_ = false;
    NightFigure figure_ = NightFigure::Odi3;
    std::string dividingDate_;
    NightsSummary summary_;

    QLineEdit* idOrName_ = nullptr;
    QLineEdit* from_ = nullptr;
    QLineEdit* to_ = nullptr;
    QLineEdit* split_ = nullptr;
    QLabel* message_ = nullptr;
    QTableView* table_ = nullptr;
    NightsTableModel* model_ = nullptr;
    QComboBox* figureBox_ = nullptr;
    QWidget* chartPanel_ = nullptr;
    NightsChartWidget* chart_ = nullptr;
    NightsSummaryWidget* summaryView_ = nullptr;
    std::vector<BrokenNight> broken_;
    QLabel* brokenLine_ = nullptr;
    std::vector<QPushButton*> rowButtons_;
    QPushButton* mergeButton_ = nullptr;
    QPushButton* splitButton_ = nullptr;
    QPushButton* undoButton_ = nullptr;
};

}  // namespace quenda
