#include "app/ListBox.h"

#include <QFontInfo>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

// Every row is as wide as the list's horizontal extent and as high as one line of text. A row is
// drawn from the character at the left edge of the view to the one at its right edge; the style
// draws the background, the selection and the focus frame, never the whole text.
class RowDelegate : public QStyledItemDelegate {
public:
    explicit RowDelegate(ListBox* list) : QStyledItemDelegate(list), list_(list) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        return QSize(list_->HorizontalExtent(), option.fontMetrics.height() + 2);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        // No initStyleOption: it would read the row's whole text.
        QStyleOptionViewItem opt = option;
        opt.index = index;
        opt.text.clear();
        opt.features &= ~QStyleOptionViewItem::HasDisplay;
        QStyle* style = list_->style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, list_);

        const ListModel& model = list_->Model();
        const int row = index.row();
        const qsizetype length = model.Length(row);
        if (length == 0)
            return;
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list_) + 1;
        const qreal left = opt.rect.left() + margin;
        const int viewLeft = std::max(opt.rect.left(), 0);
        const int viewRight = std::min(opt.rect.right(), list_->viewport()->width());
        if (viewRight < viewLeft)
            return;
        qsizetype first = 0;
        qsizetype n = length;
        qreal x = left;
        if (length > ListBox::LongestMeasured) {
            const qreal unit = list_->CharWidth();
            const bool fixed = QFontInfo(opt.font).fixedPitch();
            first = std::clamp<qsizetype>(
                static_cast<qsizetype>(std::floor((viewLeft - left) / unit)) - 1, 0, length);
            // A proportional font may fit more characters than its average width says.
            const qsizetype visible =
                static_cast<qsizetype>(std::ceil((viewRight - viewLeft) / unit)) + 3;
            n = std::min(length - first, fixed ? visible : 3 * visible);
            x = left + static_cast<qreal>(first) * unit;
        }
        const QString text = model.Slice(row, first, n);

        const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                           : (opt.state & QStyle::State_Active) ? QPalette::Normal
                                                                                 : QPalette::Inactive;
        painter->save();
        painter->setFont(opt.font);
        painter->setPen(opt.palette.color(group, (opt.state & QStyle::State_Selected)
                                                     ? QPalette::HighlightedText
                                                     : QPalette::Text));
        const QFontMetricsF metrics(opt.font);
        const qreal baseline =
            opt.rect.top() + (opt.rect.height() - metrics.height()) / 2 + metrics.ascent();
        painter->setClipRect(opt.rect, Qt::IntersectClip);
        painter->drawText(QPointF(x, baseline), text);
        painter->restore();
    }

private:
    ListBox* list_;
};

}  // namespace

QString ListItem::text() const
{
    return *this ? box_->Model().Text(row_) : QString();
}

qsizetype ListItem::Length() const
{
    return *this ? box_->Model().Length(row_) : 0;
}

bool ListItem::isSelected() const
{
    return *this && box_->selectionModel()->isSelected(box_->Model().index(row_));
}

void ListItem::setSelected(bool select) const
{
    if (*this)
        box_->selectionModel()->select(box_->Model().index(row_), select
                                                                      ? QItemSelectionModel::Select
                                                                      : QItemSelectionModel::Deselect);
}

int ListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Count();
}

QVariant ListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= Count())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return Text(index.row());
    if (role == Qt::UserRole && index.row() < sourceCount_)
        return source_->UserData(index.row());
    if (role == Qt::UserRole && static_cast<size_t>(index.row()) < userData_.size())
        return userData_[static_cast<size_t>(index.row())];
    return {};
}

QModelIndexList ListModel::match(const QModelIndex& start, int role, const QVariant& value,
                                 int hits, Qt::MatchFlags flags) const
{
    const auto type = flags & Qt::MatchTypeMask;
    if (role != Qt::DisplayRole || type != Qt::MatchStartsWith || !start.isValid()
        || start.row() >= Count() || (flags & Qt::MatchRecursive))
        return QAbstractListModel::match(start, role, value, hits, flags);
    const QString prefix = value.toString();
    const Qt::CaseSensitivity cs =
        (flags & Qt::MatchCaseSensitive) ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const int n = Count();
    const int rows = (flags & Qt::MatchWrap) ? n : n - start.row();
    QModelIndexList found;
    for (int i = 0; i < rows && (hits < 0 || found.size() < hits); ++i) {
        const int row = (start.row() + i) % n;
        if (Slice(row, 0, prefix.size()).startsWith(prefix, cs))
            found.push_back(index(row));
    }
    return found;
}

QString ListModel::Text(int row) const
{
    if (row < 0 || row >= Count())
        return {};
    if (row < sourceCount_)
        return source_->Text(row);
    return rows_[static_cast<size_t>(row - sourceCount_)];
}

qsizetype ListModel::Length(int row) const
{
    if (row < 0 || row >= Count())
        return 0;
    if (row < sourceCount_)
        return source_->Length(row);
    return rows_[static_cast<size_t>(row - sourceCount_)].size();
}

QString ListModel::Slice(int row, qsizetype from, qsizetype n) const
{
    if (row < 0 || row >= Count())
        return {};
    if (row < sourceCount_)
        return source_->Slice(row, from, n);
    return rows_[static_cast<size_t>(row - sourceCount_)].mid(from, n);
}

std::optional<std::string> ListModel::Bytes(int row) const
{
    if (row < 0 || row >= sourceCount_)
        return std::nullopt;
    return source_->Bytes(row);
}

void ListModel::Append(const QString& text, const QVariant& userData)
{
    const int row = Count();
    beginInsertRows(QModelIndex(), row, row);
    rows_.push_back(text);
    if (userData.isValid() || !userData_.empty()) {
        userData_.resize(static_cast<size_t>(row));
        userData_.push_back(userData);
    }
    endInsertRows();
}

void ListModel::Materialize()
{
    if (!source_)
        return;
    std::vector<QString> rows;
    rows.reserve(static_cast<size_t>(Count()));
    for (int i = 0; i < sourceCount_; ++i)
        rows.push_back(source_->Text(i));
    for (QString& row : rows_)
        rows.push_back(std::move(row));
    rows_ = std::move(rows);
    // The source's row data joins the stored rows' data, which is indexed by row.
    std::vector<QVariant> data;
    bool any = !userData_.empty();
    for (int i = 0; i < sourceCount_; ++i) {
        data.push_back(source_->UserData(i));
        any = any || data.back().isValid();
    }
    if (any) {
        for (size_t i = static_cast<size_t>(sourceCount_); i < userData_.size(); ++i)
            data.push_back(std::move(userData_[i]));
        userData_ = std::move(data);
    }
    source_.reset();
    sourceCount_ = 0;
}

void ListModel::SetText(int row, const QString& text)
{
    if (row < 0 || row >= Count())
        return;
    Materialize();
    rows_[static_cast<size_t>(row)] = text;
    const QModelIndex changed = index(row);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
}

void ListModel::Remove(int row)
{
    if (row < 0 || row >= Count())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    Materialize();
    rows_.erase(rows_.begin() + row);
    if (static_cast<size_t>(row) < userData_.size())
        userData_.erase(userData_.begin() + row);
    endRemoveRows();
}

void ListModel::Clear()
{
    beginResetModel();
    source_.reset();
    sourceCount_ = 0;
    rows_.clear();
    userData_.clear();
    endResetModel();
}

void ListModel::SetRows(std::shared_ptr<const ListRows> rows)
{
    BeginRows();
    EndRows(std::move(rows));
}

void ListModel::BeginRows()
{
    beginResetModel();
    source_.reset();
    sourceCount_ = 0;
    std::vector<QString>().swap(rows_);
    std::vector<QVariant>().swap(userData_);
}

void ListModel::EndRows(std::shared_ptr<const ListRows> rows)
{
    sourceCount_ = rows ? rows->Count() : 0;
    source_ = std::move(rows);
    endResetModel();
}

ListModel::Rows ListModel::Take()
{
    beginResetModel();
    Rows taken{std::move(source_), sourceCount_, std::move(rows_), std::move(userData_)};
    source_.reset();
    sourceCount_ = 0;
    rows_.clear();
    userData_.clear();
    endResetModel();
    return taken;
}

void ListModel::PutBack(Rows&& rows)
{
    beginResetModel();
    source_ = std::move(rows.source);
    sourceCount_ = rows.sourceCount;
    rows_ = std::move(rows.rows);
    userData_ = std::move(rows.userData);
    endResetModel();
}

ListBox::ListBox(QWidget* parent) : QListView(parent), model_(new ListModel(this))
{
    setModel(model_);
    setUniformItemSizes(true);
    setTextElideMode(Qt::ElideNone);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new RowDelegate(this));
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ListBox::itemSelectionChanged);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { emit currentRowChanged(current.row()); });
}

ListItem ListBox::item(int row) const
{
    return row >= 0 && row < count() ? ListItem(this, row) : ListItem();
}

void ListBox::setCurrentRow(int row)
{
    const QModelIndex index = model_->index(row);
    if (selectionMode() == SingleSelection)
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    else if (selectionMode() == NoSelection)
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    else
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::SelectCurrent);
}

void ListBox::setCurrentRow(int row, QItemSelectionModel::SelectionFlags command)
{
    selectionModel()->setCurrentIndex(model_->index(row), command);
}

QList<ListItem> ListBox::selectedItems() const
{
    QList<ListItem> items;
    for (const QModelIndex& index : selectionModel()->selectedIndexes())
        items.push_back(ListItem(this, index.row()));
    return items;
}

ListItem ListBox::itemAt(const QPoint& p) const
{
    const QModelIndex index = indexAt(p);
    return index.isValid() ? ListItem(this, index.row()) : ListItem();
}

QRect ListBox::visualItemRect(const ListItem& item) const
{
    return item ? visualRect(model_->index(item.Row())) : QRect();
}

void ListBox::scrollToItem(const ListItem& item, ScrollHint hint)
{
    if (item)
        scrollTo(model_->index(item.Row()), hint);
}

void ListBox::addItem(const QString& text, const QVariant& userData)
{
    model_->Append(text, userData);
}

void ListBox::clear()
{
    model_->Clear();
}

void ListBox::RemoveRow(int row)
{
    model_->Remove(row);
}

void ListBox::SetRowText(int row, const QString& text)
{
    model_->SetText(row, text);
}

void ListBox::SetRows(std::shared_ptr<const ListRows> rows)
{
    model_->SetRows(std::move(rows));
}

void ListBox::BeginRows()
{
    model_->BeginRows();
}

void ListBox::EndRows(std::shared_ptr<const ListRows> rows)
{
    model_->EndRows(std::move(rows));
}

ListBox::Shown ListBox::TakeShown()
{
    Shown shown;
    shown.current = currentRow();
    for (const QItemSelectionRange& range : selectionModel()->selection())
        shown.selected.emplace_back(range.top(), range.bottom());
    shown.scrollX = horizontalScrollBar()->value();
    shown.scrollY = verticalScrollBar()->value();
    shown.rows = model_->Take();
    return shown;
}

void ListBox::PutBack(Shown&& shown)
{
    model_->PutBack(std::move(shown.rows));
    QItemSelection selection;
    for (const auto& [first, last] : shown.selected)
        selection.select(model_->index(first), model_->index(last));
    selectionModel()->setCurrentIndex(model_->index(shown.current), QItemSelectionModel::NoUpdate);
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    // The rows are laid out first, so the scroll bars have their ranges again.
    executeDelayedItemsLayout();
    horizontalScrollBar()->setValue(shown.scrollX);
    verticalScrollBar()->setValue(shown.scrollY);
}

void ListBox::SetHorizontalExtent(int pixels)
{
    if (pixels == horizontalExtent_)
        return;
    horizontalExtent_ = pixels;
    scheduleDelayedItemsLayout();
}

qreal ListBox::CharWidth() const
{
    const QFontMetricsF metrics(font());
    return QFontInfo(font()).fixedPitch() ? metrics.horizontalAdvance(QLatin1Char('M'))
                                          : std::max<qreal>(1, metrics.averageCharWidth());
}

qlonglong ListBox::RowWidth(qsizetype chars, const QString* text) const
{
    if (text && chars <= LongestMeasured && !QFontInfo(font()).fixedPitch())
        return static_cast<qlonglong>(std::ceil(QFontMetricsF(font()).horizontalAdvance(*text)));
    return static_cast<qlonglong>(std::ceil(static_cast<qreal>(chars) * CharWidth()));
}

bool ListBox::Widen(qsizetype chars, const QString* text)
{
    const qlonglong widest = property("Tag").toString().toLongLong();
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    // An upper bound first, so rows narrower than the widest are not measured at all.
    const qlonglong bound =
        static_cast<qlonglong>(chars) * QFontMetrics(font()).maxWidth() + scrollBar;
    if (bound <= widest)
        return false;
    const qlonglong width = RowWidth(chars, text) + scrollBar;
    if (width <= widest)
        return false;
    setProperty("Tag", QString::number(width));
    SetHorizontalExtent(static_cast<int>(std::min<qlonglong>(width, LongestExtent)));
    return true;
}

}  // namespace quillon
