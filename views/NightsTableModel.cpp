#include "views/NightsTableModel.h"

#include "views/NightsWindow.h"  // nights_text
#include "widgets/UiTexts.h"

#include <QApplication>
#include <QColor>
#include <QStyle>
#include <QHeaderView>

#include <algorithm>

namespace quenda {

namespace {

constexpr int kNoteColumn = static_cast<int>(NightColumn::Note);
constexpr int kDateColumn = static_cast<int>(NightColumn::Date);

QString Q(const std::string& text) { return QString::fromStdString(text); }

bool IsNumberColumn(int column) {
    return column != static_cast<int>(NightColumn::Name) && column != kNoteColumn && column != kDateColumn;
}

}  // namespace

int NightsTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int NightsTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kNightColumnCount; }

QVariant NightsTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
    const NightRow& row = rows_[static_cast<std::size_t>(index.row())];
    const int column = index.column();
    const auto mark = marks_.find(row.night);
    if (mark != marks_.end()) {
        // Marked: a warning sign before the date, the row tinted, the reason
        // under the pointer.
        if (role == Qt::DecorationRole && column == kDateColumn)
            return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
        if (role == Qt::BackgroundRole) return QColor(255, 243, 205);
        if (role == Qt::ToolTipRole) return mark->second;
    }
    switch (role) {
        case Qt::DisplayRole: {
            QString text = Q(NightCellText(row, static_cast<NightColumn>(column)));
            if (column == kDateColumn && row.missing)
                text += QStringLiteral(", ") + UiQString(nights_text::kFileMissing);
            return text;
        }
        case Qt::EditRole: return Q(NightCellText(row, static_cast<NightColumn>(column)));
        case Qt::ForegroundRole:
            if (row.missing) return QColor(150, 150, 150);
            return {};
        case Qt::ToolTipRole:
            if (row.missing)
                return UiQString(nights_text::kFileMissing) + QStringLiteral(": ") + Q(row.source.string());
            return Q(row.source.string());
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(
                Qt::Alignment((IsNumberColumn(column) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
        default: return {};
    }
}

bool NightsTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || index.column() != kNoteColumn || !setNote) return false;
    if (!setNote(static_cast<std::size_t>(index.row()), value.toString())) return false;
    emit dataChanged(index, index);
    return true;
}

Qt::ItemFlags NightsTableModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.column() == kNoteColumn) f |= Qt::ItemIsEditable;
    return f;
}

QVariant NightsTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < kNightColumnCount)
        return UiQString(NightColumnTitle(static_cast<NightColumn>(section)));
    return QAbstractTableModel::headerData(section, orientation, role);
}

void NightsTableModel::sort(int column, Qt::SortOrder order) {
    if (sortBy) sortBy(column, order);
}

NightsTableView::NightsTableView(NightsTableModel* model, QWidget* parent) : QTableView(parent) {
    setModel(model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // A double-click edits the note (the only editable column) and opens the
    // night anywhere else; Qt's own trigger, as the click on a selected note
    // waits to see whether a double-click follows.
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked |
                    QAbstractItemView::DoubleClicked);
    setSortingEnabled(true);
    horizontalHeader()->setSortIndicator(kDateColumn, Qt::DescendingOrder);
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    // Widths from the widest text a column holds, not from every row: the
    // list opens at once whatever the library's size.
    static const char* const widest[kNightColumnCount] = {"0000-00-00, file missing",
                                                          "000",
                                                          "Firstname Lastname",
                                                          "00:00",
                                                          "00:00:00",
                                                          "00:00:00",
                                                          "000.0",
                                                          "000.0",
                                                          "000.0",
                                                          "000.0",
                                                          "000",
                                                          "000.0",
                                                          "000.0",
                                                          "000.0",
                                                          "100.0",
                                                          "000.0",
                                                          "000.0",
                                                          ""};
    for (int c = 0; c + 1 < kNightColumnCount; ++c) {
        const QString title = UiQString(NightColumnTitle(static_cast<NightColumn>(c)));
        const int text = std::max(fontMetrics().horizontalAdvance(QString::fromUtf8(widest[c])),
                                  fontMetrics().horizontalAdvance(title) + 8);
        setColumnWidth(c, text + 10);
    }
}

}  // namespace quenda
