// The Nights window's Merge..., Split... and their undo, as `quenda-cli
// nights merge`, `split`, `unmerge` and `unsplit` do, and the marks on two
// nights that may be one night broken in two.
#include "views/NightsWindow.h"

#include "views/NightsTableModel.h"
#include "widgets/UiTexts.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>

#include <algorithm>
#include <unordered_map>

namespace quenda {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

QString Clock(std::int64_t seconds) {
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// "HH:MM:SS" (or "HH:MM") as seconds into the day.
std::optional<std::int64_t> TimeOfDay(const QString& text) {
    static const QRegularExpression time(QStringLiteral("^\\s*(\\d{1,2}):(\\d{2})(?::(\\d{2}))?\\s*$"));
    const QRegularExpressionMatch m = time.match(text);
    if (!m.hasMatch()) return std::nullopt;
    const int h = m.captured(1).toInt(), min = m.captured(2).toInt(), s = m.captured(3).toInt();
    if (h > 23 || min > 59 || s > 59) return std::nullopt;
    return h * 3600 + min * 60 + s;
}

constexpr std::int64_t kDay = 86400;

}  // namespace

std::optional<NightNumber> NightsWindow::MergePartner(std::size_t row) const {
    if (row >= shown_.size()) return std::nullopt;
    const NightRow& night = shown_[row];
    for (const BrokenNight& pair : broken_) {
        if (pair.first == night.night) return pair.second;
        if (pair.second == night.night) return pair.first;
    }
    // Else the next night of its ID, when it starts within a merge's reach.
    std::optional<NightNumber> next;
    std::int64_t nextStart = 0;
    for (const NightRow& other : all_) {
        if (other.id != night.id || other.start <= night.end || other.start - night.end > kMergeWithinSeconds) continue;
        if (!next || other.start < nextStart) {
            next = other.night;
            nextStart = other.start;
        }
    }
    return next;
}

bool NightsWindow::MergeRow(std::size_t row) {
    const auto partner = MergePartner(row);
    if (!partner || !library_) return false;
    const NightRow& night = shown_[row];
    const auto other = std::find_if(all_.begin(), all_.end(), [&](const NightRow& r) { return r.night == *partner; });
    if (other == all_.end()) return false;
    const bool first = night.start < other->start;
    const NightRow& a = first ? night : *other;
    const NightRow& b = first ? *other : night;
    const QString question =
        UiQString("Merge night %1 (%2) and night %3 (%4) of ID %5 into one night? Unmerge takes them apart again.")
            .arg(a.night)
            .arg(Q(a.StartText()))
            .arg(b.night)
            .arg(Q(b.StartText()))
            .arg(a.id);
    if (!Confirm(question)) return false;
    NightNumber merged = 0;
    if (const FileResult done = library_->Merge(a.night, b.night, &merged); !done) {
        Tell(Q(done.message));
        return false;
    }
    Reload();
    SelectNight(merged);
    return true;
}

bool NightsWindow::SplitRow(std::size_t row, std::int32_t index) {
    if (row >= shown_.size() || !library_) return false;
    const NightNumber night = shown_[row].night;
    if (const FileResult done = library_->Split(night, index); !done) {
        Tell(Q(done.message));
        return false;
    }
    Reload();
    SelectNight(night);
    return true;
}

bool NightsWindow::UndoRow(std::size_t row) {
    if (row >= shown_.size() || !library_) return false;
    const NightNumber night = shown_[row].night;
    NightChanges changes;
    if (const FileResult read = library_->Changes(night, changes); !read) {
        Tell(Q(read.message));
        return false;
    }
    NightNumber kept = night;
    FileResult done;
    if (!changes.mergedFrom.empty()) {
        done = library_->Unmerge(night);
    } else if (changes.split) {
        done = library_->Unsplit(night, &kept);
    } else {
        return false;
    }
    if (!done) {
        Tell(Q(done.message));
        return false;
    }
    Reload();
    SelectNight(kept);
    return true;
}

void NightsWindow::SelectNight(NightNumber night) {
    for (std::size_t i = 0; i < shown_.size(); ++i)
        if (shown_[i].night == night) SelectRow(i);
}

void NightsWindow::AskSplit() {
    const auto row = SelectedRow();
    if (!row || !library_) return;
    const NightRow night = shown_[*row];
    std::vector<SampleRecord> samples;
    if (const FileResult loaded = library_->LoadNight(night.night, samples); !loaded) {
        Tell(Q(loaded.message));
        return;
    }
    if (samples.size() < 2) return;
    // Offered: where the night's longest gap ends (where two nights were
    // joined), else its middle.
    std::size_t offered = samples.size() / 2;
    std::int64_t longest = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        const auto before = SampleSeconds(samples[i - 1]);
        const auto at = SampleSeconds(samples[i]);
        if (before && at && *at - *before - 1 > longest) {
            longest = *at - *before - 1;
            offered = i;
        }
    }
    const std::int64_t offeredAt = SampleSeconds(samples[offered]).value_or(night.start);
    bool ok = false;
    const QString text = QInputDialog::getText(
        this, UiQString("Split Night"),
        UiQString("Split night %1 (%2 to %3) at the time (HH:MM:SS): the second night starts with the first sample "
                  "from then on. Unsplit joins them again.")
            .arg(night.night)
            .arg(Q(night.StartText()))
            .arg(Q(night.EndText())),
        QLineEdit::Normal, Clock(offeredAt % kDay), &ok);
    if (!ok) return;
    const auto time = TimeOfDay(text);
    if (!time) {
        Tell(UiQString("%1 is no time of day: give it as HH:MM:SS.").arg(text));
        return;
    }
    // The first such time of day from the night's start on (a night runs past midnight).
    std::int64_t at = night.start - night.start % kDay + *time;
    if (at < night.start) at += kDay;
    const auto index = std::find_if(samples.begin(), samples.end(), [&](const SampleRecord& r) {
        return SampleSeconds(r).value_or(0) >= at;
    }) - samples.begin();
    if (index <= 0 || index >= static_cast<std::ptrdiff_t>(samples.size())) {
        Tell(UiQString("Night %1 runs from %2 to %3: split it at a time after its first sample and up to its last.")
                 .arg(night.night)
                 .arg(Q(night.StartText()))
                 .arg(Q(night.EndText())));
        return;
    }
    SplitRow(*row, static_cast<std::int32_t>(index));
}

void NightsWindow::AskMerge() {
    if (const auto row = SelectedRow()) MergeRow(*row);
}

void NightsWindow::FindBroken() {
    broken_ = SuspectedBrokenNights(shown_);
    // The two halves of a night the user split are no accident.
    std::erase_if(broken_, [this](const BrokenNight& pair) {
        NightChanges changes;
        return library_ && library_->Changes(pair.first, changes) && changes.split &&
               *changes.split == std::pair{pair.first, pair.second};
    });
    std::unordered_map<NightNumber, QString> marks;
    for (const BrokenNight& pair : broken_) {
        const QString mark = UiQString("Nights %1 and %2 may be one night broken in two (%3 without a sample between "
                                       "them): select one and press Merge.")
                                 .arg(pair.first)
                                 .arg(pair.second)
                                 .arg(Clock(pair.gapSeconds));
        marks[pair.first] = mark;
        marks[pair.second] = mark;
    }
    model_->SetMarks(std::move(marks));
}

QString NightsWindow::BrokenLine() const {
    QStringList pairs;
    for (const BrokenNight& pair : broken_) {
        if (pair.id != summary_.id) continue;
        const auto first = std::find_if(shown_.begin(), shown_.end(), [&](const NightRow& r) { return r.night == pair.first; });
        pairs << UiQString("nights %1 and %2 (%3, %4 apart)")
                     .arg(pair.first)
                     .arg(pair.second)
                     .arg(first == shown_.end() ? QString() : Q(first->date))
                     .arg(Clock(pair.gapSeconds));
    }
    if (pairs.isEmpty()) return {};
    return UiQString("Perhaps one night broken in two, counted above as two: %1. Select one and press Merge.")
        .arg(pairs.join(QStringLiteral("; ")));
}

void NightsWindow::ShowPutRight() {
    const auto row = SelectedRow();
    mergeButton_->setEnabled(row && MergePartner(*row).has_value());
    splitButton_->setEnabled(row && shown_[*row].samples > 1);
    NightChanges changes;
    const bool known = row && library_ && library_->Changes(shown_[*row].night, changes);
    const bool merged = known && !changes.mergedFrom.empty();
    undoButton_->setText(UiQString(known && changes.split ? "Unsplit" : "Unmerge"));
    undoButton_->setEnabled(merged || (known && changes.split));
    const QString line = BrokenLine();
    brokenLine_->setText(line);
    brokenLine_->setVisible(!line.isEmpty());
}

}  // namespace quenda
