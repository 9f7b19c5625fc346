#include "reports/TreeSort.h"

#include <QItemSelection>
#include <QTreeWidget>
#include <algorithm>

#include "editing/WindowText.h"
#include "reports/SortKeys.h"

namespace quillon {

namespace {
constexpr const char* kSortOrder = "quillonSortOrder";
constexpr const char* kSortKey = "quillonSortKey";
constexpr const char* kSorted = "quillonSorted";
}  // namespace

static_assert(ColumnTagRole == Qt::UserRole + 71);

void SetColumnTag(QTreeWidget* list, int column, const QString& tag)
{
    list->headerItem()->setData(column, ColumnTagRole, tag);
}

QString ColumnTag(const QTreeWidget* list, int column)
{
    return list->headerItem()->data(column, ColumnTagRole).toString();
}

ListSortState GetListSortState(const QTreeWidget* list)
{
    ListSortState state;
    state.SortOrder = list->property(kSortOrder).toInt();
    state.SortKey = list->property(kSortKey).toInt();
    state.Sorted = list->property(kSorted).toBool();
    return state;
}

void SetListSortState(QTreeWidget* list, const ListSortState& state)
{
    list->setProperty(kSortOrder, state.SortOrder);
    list->setProperty(kSortKey, state.SortKey);
    list->setProperty(kSorted, state.Sorted);
}

std::vector<QString> ColumnTexts(const QTreeWidget* list, int column)
{
    const int rows = list->topLevelItemCount();
    std::vector<QString> texts;
    texts.reserve(static_cast<size_t>(rows));
    for (int r = 0; r < rows; ++r)
        texts.push_back(list->topLevelItem(r)->text(column));
    return texts;
}

void ApplyRowOrder(QTreeWidget* list, const std::vector<int>& order)
{
    const int rows = list->topLevelItemCount();
    if (rows < 2 || order.size() != static_cast<size_t>(rows))
        return;
    QAbstractItemModel* model = list->model();
    QItemSelectionModel* selection = list->selectionModel();
    // Selection and current row are remembered by row number: asking each item whether it is
    // selected would look its row up every time.
    std::vector<char> wasSelected(static_cast<size_t>(rows), 0);
    for (const QModelIndex& index : selection->selectedRows())
        if (!index.parent().isValid())
            wasSelected[static_cast<size_t>(index.row())] = 1;
    const QModelIndex current = list->currentIndex();
    const int currentRow = current.isValid() && !current.parent().isValid() ? current.row() : -1;
    const int currentColumn = current.isValid() ? current.column() : 0;

    const bool updates = list->updatesEnabled();
    list->setUpdatesEnabled(false);
    const QSignalBlocker quiet(selection);
    QList<QTreeWidgetItem*> items = list->invisibleRootItem()->takeChildren();
    QList<QTreeWidgetItem*> sorted;
    sorted.reserve(rows);
    for (int old : order)
        sorted.append(items[old]);
    list->addTopLevelItems(sorted);

    QItemSelection kept;
    const int lastColumn = std::max(list->columnCount() - 1, 0);
    int newCurrent = -1;
    for (int r = 0; r < rows;) {
        if (order[static_cast<size_t>(r)] == currentRow)
            newCurrent = r;
        if (!wasSelected[static_cast<size_t>(order[static_cast<size_t>(r)])]) {
            ++r;
            continue;
        }
        int end = r;
        while (end + 1 < rows && wasSelected[static_cast<size_t>(order[static_cast<size_t>(end + 1)])]) {
            ++end;
            if (order[static_cast<size_t>(end)] == currentRow)
                newCurrent = end;
        }
        kept.select(model->index(r, 0), model->index(end, lastColumn));
        r = end + 1;
    }
    selection->clearSelection();
    if (newCurrent >= 0)
        selection->setCurrentIndex(model->index(newCurrent, currentColumn),
                                   QItemSelectionModel::NoUpdate);
    selection->select(kept, QItemSelectionModel::Select);
    list->setUpdatesEnabled(updates);
    list->viewport()->update();
}

void ColumnClickSort(QTreeWidget* list, int column, const QLocale& locale)
{
    if (column < 0 || column >= list->columnCount())
        return;
    const WaitCursor wait;
    ListSortState state = GetListSortState(list);
    state.SortOrder = (state.SortOrder + 1) % 2;
    state.SortKey = column;
    state.Sorted = true;
    SetListSortState(list, state);
    const int rows = list->topLevelItemCount();
    if (rows < 2)
        return;
    const ColumnKind kind = ColumnKindOfTag(ColumnTag(list, column));
    std::vector<SortKeyColumn> keys(1);
    keys[0].keys = ColumnSortKeys(kind, ColumnTexts(list, column), locale);
    keys[0].descending = state.SortOrder == 1;
    ApplyRowOrder(list, SortedRowOrder(keys, rows));
}

}  // namespace quillon
