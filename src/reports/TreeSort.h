#pragma once
// The header-click sort of a QTreeWidget's top-level rows, shared by the report window and the
// FTP file list. Each column's kind comes from the tag kept on the header item
// ("NUMBER", "DATE", anything else text); the list keeps its sort state between clicks.
#include <QLocale>
#include <QString>
#include <vector>

class QTreeWidget;

namespace quillon {

// The data role of the header item that holds a column's tag.
inline constexpr int ColumnTagRole = 0x0100 + 71;  // Qt::UserRole + 71

void SetColumnTag(QTreeWidget* list, int column, const QString& tag);
QString ColumnTag(const QTreeWidget* list, int column);

// Kept by the list between clicks: order 0 ascending, 1 descending; the last sort column; and
// whether the list was ever sorted.
struct ListSortState {
    int SortOrder = 0;
    int SortKey = 0;
    bool Sorted = false;
};
ListSortState GetListSortState(const QTreeWidget* list);
void SetListSortState(QTreeWidget* list, const ListSortState& state);

// The shown texts of one column, row by row ("" where a row has no such cell).
std::vector<QString> ColumnTexts(const QTreeWidget* list, int column);

// Puts the rows into `order` (old row indexes in their new places) in one go, with drawing off;
// the selected rows and the current row stay with their items.
void ApplyRowOrder(QTreeWidget* list, const std::vector<int>& order);

// A click on the header of `column` (its logical index, whatever its display position): flips
// the list's sort order, so a fresh list's first click sorts descending, and sorts the rows by
// the column's keys.
void ColumnClickSort(QTreeWidget* list, int column, const QLocale& locale = QLocale());

}  // namespace quillon
