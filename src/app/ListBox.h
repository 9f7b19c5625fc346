#pragma once
// The main window's lists: one-line rows in a model/view list. A row's text is the whole record,
// segment or field line (copy, find and edit read it back whole), but the view draws only the
// part of a row that is in sight and never measures a row: a 10 MB segment draws as fast as a
// short one. Rows may be given one by one (addItem) or as a ListRows source that formats a row
// only when it is read, so a million field lines need not be a million strings.
#include <QAbstractListModel>
#include <QListView>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillon {

class ListBox;

// Rows kept by their owner in its own compact form.
class ListRows {
public:
    virtual ~ListRows() = default;
    virtual int Count() const = 0;
    // Characters of the row.
    virtual qsizetype Length(int row) const = 0;
    // Characters [from, from + n) of the row, cut at its end.
    virtual QString Slice(int row, qsizetype from, qsizetype n) const = 0;
    QString Text(int row) const { return Slice(row, 0, Length(row)); }
    // What the row carries besides its text (the list's Qt::UserRole); none by default.
    virtual QVariant UserData(int) const { return {}; }
    // The record bytes the row shows, for rows made from them (its text may hold U+FFFD where
    // they are not valid UTF-8, so it cannot give them back); none by default.
    virtual std::optional<std::string> Bytes(int) const { return std::nullopt; }
};

// A row of a ListBox, as a handle: `list->item(i)->text()` reads row i.
class ListItem {
public:
    ListItem() = default;
    ListItem(const ListBox* box, int row) : box_(box), row_(row) {}
    const ListItem* operator->() const { return this; }
    explicit operator bool() const { return box_ != nullptr && row_ >= 0; }
    bool operator==(const ListItem&) const = default;
    int Row() const { return row_; }
    QString text() const;
    qsizetype Length() const;
    bool isSelected() const;
    void setSelected(bool select) const;

private:
    const ListBox* box_ = nullptr;
    int row_ = -1;
};

class ListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    // Typing in the list looks for the row that starts with the keys typed: only the head of
    // each row is read, as a row may be megabytes long.
    QModelIndexList match(const QModelIndex& start, int role, const QVariant& value, int hits,
                          Qt::MatchFlags flags) const override;

    int Count() const { return sourceCount_ + static_cast<int>(rows_.size()); }
    QString Text(int row) const;
    qsizetype Length(int row) const;
    QString Slice(int row, qsizetype from, qsizetype n) const;
    // The record bytes behind a row given by a ListRows source that keeps them.
    std::optional<std::string> Bytes(int row) const;
    void Append(const QString& text, const QVariant& userData);
    // Gives the row a new text in place; its data stays.
    void SetText(int row, const QString& text);
    void Remove(int row);
    void Clear();
    void SetRows(std::shared_ptr<const ListRows> rows);
    void BeginRows();
    void EndRows(std::shared_ptr<const ListRows> rows);

    // Every row, taken out of the model (which is left empty) and given back unchanged.
    struct Rows {
        std::shared_ptr<const ListRows> source;
        int sourceCount = 0;
        std::vector<QString> rows;
        std::vector<QVariant> userData;
    };
    Rows Take();
    void PutBack(Rows&& rows);

private:
    // Turns the source's rows into stored ones, before a row of them is removed.
    void Materialize();

    std::shared_ptr<const ListRows> source_;
    int sourceCount_ = 0;
    std::vector<QString> rows_;      // after the source's rows
    std::vector<QVariant> userData_; // one per row once any row carries data
};

class ListBox : public QListView {
    Q_OBJECT
public:
    explicit ListBox(QWidget* parent = nullptr);

    // The list-widget calls the window's code uses.
    int count() const { return model_->Count(); }
    ListItem item(int row) const;
    ListItem currentItem() const { return item(currentRow()); }
    int currentRow() const { return currentIndex().row(); }
    void setCurrentRow(int row);
    void setCurrentRow(int row, QItemSelectionModel::SelectionFlags command);
    QList<ListItem> selectedItems() const;
    int row(const ListItem& item) const { return item ? item.Row() : -1; }
    ListItem itemAt(const QPoint& p) const;
    QRect visualItemRect(const ListItem& item) const;
    void scrollToItem(const ListItem& item, ScrollHint hint = EnsureVisible);
    void addItem(const QString& text, const QVariant& userData = QVariant());
    void clear();
    void RemoveRow(int row);
    // Replaces the text of one row in place (selection and current row stay).
    void SetRowText(int row, const QString& text);
    // Shows `rows` in place of every row (one model reset).
    void SetRows(std::shared_ptr<const ListRows> rows);
    // The same in two steps, so the old rows are let go before the new ones are built: nothing
    // may read the list in between.
    void BeginRows();
    void EndRows(std::shared_ptr<const ListRows> rows);

    // What the list shows: its rows, current row, selection and scroll place. Taken, the list
    // is empty; put back, it shows them as before. The list's signals are the caller's to block.
    struct Shown {
        ListModel::Rows rows;
        int current = -1;
        std::vector<std::pair<int, int>> selected;  // first and last row of each range
        int scrollX = 0;
        int scrollY = 0;
    };
    Shown TakeShown();
    void PutBack(Shown&& shown);

    const ListModel& Model() const { return *model_; }

    // Scroll range: the widest row added so far, in pixels, kept by its owner.
    int HorizontalExtent() const { return horizontalExtent_; }
    void SetHorizontalExtent(int pixels);
    // Width in pixels of a row of `chars` characters in the list's font, without measuring the
    // row: the length times the width of a character (fixed pitch) or the text measured when it is
    // short, else the length times the font's average character width. `text` may be null.
    qlonglong RowWidth(qsizetype chars, const QString* text = nullptr) const;
    // Widens the scroll range (and the list's "Tag", the widest width so far) for a row of
    // `chars` characters; true when it did.
    bool Widen(qsizetype chars, const QString* text = nullptr);
    // Pixels one character takes when a long row is drawn from the middle.
    qreal CharWidth() const;

    static constexpr int LongestExtent = 1 << 24;
    static constexpr qsizetype LongestMeasured = 2048;

signals:
    void itemSelectionChanged();
    void currentRowChanged(int row);

private:
    ListModel* model_;
    int horizontalExtent_ = 0;
};

}  // namespace quillon
