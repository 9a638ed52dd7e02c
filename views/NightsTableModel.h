#pragma once

#include "views/NightsLayout.h"

#include <QAbstractTableModel>
#include <QTableView>

#include <cstddef>
#include <functional>
#include <unordered_map>
#include <vector>

namespace quenda {

// The Nights window's list: the shown rows, the note editable, missing files
// greyed. It holds no rows of its own; the window changes them between
// Begin() and End().
class NightsTableModel : public QAbstractTableModel {
public:
    NightsTableModel(std::vector<NightRow>& rows, QObject* parent) : QAbstractTableModel(parent), rows_(rows) {}

    // A note the user typed into a row; false leaves the row as it was.
    std::function<bool(std::size_t, const QString&)> setNote;
    // A click on a column's header.
    std::function<void(int, Qt::SortOrder)> sortBy;

    int rowCount(const QModelIndex& parent) const override;
    int columnCount(const QModelIndex& parent) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

    // What a row's night is marked with (its tooltip), by night: two nights
    // that may be one broken in two. Set between Begin() and End().
    void SetMarks(std::unordered_map<NightNumber, QString> marks) { marks_ = std::move(marks); }
    void Begin() { beginResetModel(); }
    void End() { endResetModel(); }

private:
    std::vector<NightRow>& rows_;
    std::unordered_map<NightNumber, QString> marks_;
};

// The list's table: whole rows selected one at a time, sorted by a click on a
// header (newest first to begin with), the note edited in place, columns as
// wide as the widest text each holds. It tells whether a note is being edited.
class NightsTableView final : public QTableView {
public:
    NightsTableView(NightsTableModel* model, QWidget* parent);
    bool Editing() const { return state() == EditingState; }
};

}  // namespace quenda
