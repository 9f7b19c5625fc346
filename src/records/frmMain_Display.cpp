// The main window's record display: the segment and field lists of the selected record, the
// field lock, the lengths panel and the view filter.
#include <QApplication>
#include <QTimer>
#include <optional>

#include "app/Utility.h"
#include "app/WindowUtility.h"
#include "app/frmMain.h"
#include "platform/FileIO.h"
#include "records/FieldDesignations.h"
#include "records/FieldLines.h"
#include "records/Pages.h"
#include "editing/WindowText.h"
#include "records/TextEncoding.h"

namespace quillon {

using platform::MsgButtons;
using platform::MsgIcon;

namespace {

QString Latin1(std::string_view bytes, qsizetype from, qsizetype n)
{
    const std::string_view part = bytes.substr(
        std::min(static_cast<size_t>(from), bytes.size()), static_cast<size_t>(n));
    return DecodeText(part, TextEncoding::Latin1);
}

// The segment-list rows of the record shown: pieces of one copy of the record (the store may
// change while the lists still show it). A UTF-8 record is made text once, and its rows are
// pieces of that text.
class SegmentRows : public ListRows {
public:
    SegmentRows(std::shared_ptr<const std::string> record, TextEncoding encoding)
        : record_(std::move(record)), encoding_(encoding)
    {
        if (encoding_ == TextEncoding::Utf8)
            text_ = DecodeText(*record_, encoding_);
    }
    // Segments are added in record order.
    void Add(std::string_view segment)
    {
        Piece piece{static_cast<size_t>(segment.data() - record_->data()), segment.size(), 0, 0};
        if (encoding_ == TextEncoding::Utf8) {
            const std::string_view record = *record_;
            unitsBefore_ += TextLength(record.substr(scanned_, piece.offset - scanned_), encoding_);
            piece.unit = unitsBefore_;
            piece.units = TextLength(segment, encoding_);
            unitsBefore_ += piece.units;
            scanned_ = piece.offset + piece.size;
        }
        pieces_.push_back(piece);
    }
    int Count() const override { return static_cast<int>(pieces_.size()); }
    qsizetype Length(int row) const override
    {
        const Piece& piece = pieces_[static_cast<size_t>(row)];
        return encoding_ == TextEncoding::Utf8 ? piece.units : static_cast<qsizetype>(piece.size);
    }
    QString Slice(int row, qsizetype from, qsizetype n) const override
    {
        const Piece& piece = pieces_[static_cast<size_t>(row)];
        if (encoding_ == TextEncoding::Latin1)
            return Latin1(std::string_view(*record_).substr(piece.offset, piece.size), from, n);
        from = std::clamp<qsizetype>(from, 0, piece.units);
        return text_.mid(piece.unit + from, std::min(n, piece.units - from));
    }
    std::optional<std::string> Bytes(int row) const override
    {
        const Piece& piece = pieces_[static_cast<size_t>(row)];
        return record_->substr(piece.offset, piece.size);
    }

private:
    struct Piece {
        size_t offset, size;  // bytes
        qsizetype unit, units;  // in the text of a UTF-8 record
    };
    std::shared_ptr<const std::string> record_;
    TextEncoding encoding_;
    QString text_;
    std::vector<Piece> pieces_;
    size_t scanned_ = 0;
    qsizetype unitsBefore_ = 0;
};

// The field-list rows: the lines in their compact buffer, turned into text when read. A line's
// head (designation and description) is the program's own text; its value is the record's, in
// the record's encoding.
class FieldRows : public ListRows {
public:
    explicit FieldRows(TextEncoding encoding) : encoding_(encoding) {}
    FieldLineBuffer lines;
    int Count() const override { return static_cast<int>(lines.size()); }
    qsizetype Length(int row) const override
    {
        const auto i = static_cast<size_t>(row);
        if (encoding_ == TextEncoding::Latin1)
            return static_cast<qsizetype>(lines.Length(i));
        return static_cast<qsizetype>(lines.Head(i).size()) + TextLength(lines.Tail(i), encoding_);
    }
    QString Slice(int row, qsizetype from, qsizetype n) const override
    {
        const auto i = static_cast<size_t>(row);
        if (encoding_ == TextEncoding::Latin1)
            return Latin1(lines.Line(i), from, n);
        // The view reads a row in several slices: the last row read is kept as text.
        if (row != textRow_) {
            text_ = DecodeText(lines.Head(i), TextEncoding::Latin1)
                    + DecodeText(lines.Tail(i), encoding_);
            textRow_ = row;
        }
        return text_.mid(from, n);
    }
    // The segment-list row each line was built from: the field edit finds its segment by it.
    QVariant UserData(int row) const override
    {
        const int32_t segment = lines.SegmentRow(static_cast<size_t>(row));
        return segment >= 0 ? QVariant(segment) : QVariant();
    }
    std::optional<std::string> Bytes(int row) const override
    {
        return lines.Line(static_cast<size_t>(row));
    }

private:
    TextEncoding encoding_;
    mutable int textRow_ = -1;
    mutable QString text_;
};

// Whether a row is blank after trimming, read whole only when it starts with a blank.
bool BlankRow(const ListModel& rows, int row)
{
    if (rows.Length(row) == 0)
        return true;
    return rows.Slice(row, 0, 1).front().isSpace() && rows.Text(row).trimmed().isEmpty();
}

// The first three characters of a row trimmed of white space at both ends ("" for a blank
// row), read from its two ends only: a segment may be megabytes long.
QString TrimmedHead(const ListModel& rows, int row)
{
    constexpr qsizetype step = 256;
    const qsizetype length = rows.Length(row);
    qsizetype first = 0;
    while (first < length) {
        const QString part = rows.Slice(row, first, step);
        qsizetype k = 0;
        while (k < part.size() && part[k].isSpace())
            ++k;
        first += k;
        if (k < part.size())
            break;
    }
    if (first >= length)
        return {};
    qsizetype end = length;  // one past the last character that is not white space
    while (end > first) {
        const qsizetype from = std::max(first, end - step);
        const QString part = rows.Slice(row, from, end - from);
        qsizetype k = part.size();
        while (k > 0 && part[k - 1].isSpace())
            --k;
        end = from + k;
        if (k > 0)
            break;
    }
    return rows.Slice(row, first, std::min<qsizetype>(3, end - first));
}

// Empties a list for new rows and, when it goes, shows the rows given (none after a failure).
struct RowsReset {
    explicit RowsReset(ListBox* list) : list(list) { list->BeginRows(); }
    ~RowsReset() { list->EndRows(std::move(rows)); }
    RowsReset(const RowsReset&) = delete;
    RowsReset& operator=(const RowsReset&) = delete;
    ListBox* list;
    std::shared_ptr<const ListRows> rows;
};

}  // namespace

void frmMain::ConnectClick(ListBox* list, void (frmMain::*handler)(), int* serial)
{
    // Qt moves the current row and the selection in separate steps, in an order that depends on
    // mouse or keyboard; the handler runs once both have settled. A direct call of the handler
    // in between (a command that redisplays) makes the pending one unnecessary.
    auto schedule = [this, handler, serial, list] {
        if (list == lstRecords && SuppressRecordClick)
            return;
        const int expected = ++*serial;
        QTimer::singleShot(0, this, [this, handler, serial, expected] {
            if (*serial == expected)
                (this->*handler)();
        });
    };
    connect(list, &ListBox::itemSelectionChanged, this, schedule);
    connect(list, &ListBox::currentRowChanged, this, schedule);
}

DisplayOptions frmMain::CurrentDisplayOptions() const
{
    DisplayOptions o;
    o.DisplayEmptyFields = mnuOptionsDisplayEmptyFields->isChecked();
    o.DisplayFieldDescriptions = mnuOptionsDisplayFieldDescriptions->isChecked();
    o.DisplayCompoundFields = mnuOptionsDisplayCompoundFields->isChecked();
    o.DisplaySegmentDescriptions = mnuOptionsDisplaySegmentDescriptions->isChecked();
    return o;
}

int frmMain::SelectedRecordCount() const
{
    return static_cast<int>(lstRecords->selectionModel()->selectedRows().size());
}

void frmMain::DisplayRecordSegmentFieldLengths()
{
    QString text = QStringLiteral("Lengths: ");
    if (RecLen >= 0)
        text += QStringLiteral("RecLen=%1 ").arg(RecLen);
    if (SegLen >= 0)
        text += QStringLiteral("SegLen=%1 ").arg(SegLen);
    if (FieldLen >= 0)
        text += QStringLiteral("FieldLen=%1").arg(FieldLen);
    stsPanels[4]->setText(text);
}

void frmMain::lstRecords_Click()
{
    ++recordClickSerial_;
    stsPanels[4]->clear();
    SegLen = -1;
    FieldLen = -1;
    const int selected = SelectedRecordCount();
    if (selected >= 2) {
        mnuFieldListLockFieldLocation->setChecked(false);
        st.session.LockedFieldName.clear();
        stsPanels[5]->clear();
    }
    if (SuppressRecordClick)
        return;
    if (selected != 1) {
        RecLen = -1;
        DisplayRecordSegmentFieldLengths();
    }
    if (lstRecords->count() == 0)
        return;
    if (lstFields->count() > 0) {
        tbarButtons[15]->setEnabled(false);
        tbarButtons[16]->setEnabled(false);
    }
    const int index = lstRecords->currentRow();
    const bool rowSelected = index >= 0 && lstRecords->item(index)->isSelected();
    if (lstSegments->count() > 0 && !rowSelected && !ForceRecordRedisplay) {
        // The click took the selection away from the record shown.
        lstSegments->clear();
        lstFields->clear();
        mnuFieldListLockFieldLocation->setChecked(false);
        stsPanels[5]->clear();
        return;
    }
    const int32_t k = RecordAt(CurrentPage, index);
    if (index < 0 || k < 1 || k > st.records.RecordCount)
        return;

    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QSignalBlocker blockSegments(lstSegments);
    const QSignalBlocker blockFields(lstFields);
    lstSegments->setUpdatesEnabled(false);
    lstFields->setUpdatesEnabled(false);

    // The rows shown so far are let go first, so two records' rows are never held at once.
    std::optional<RowsReset> segmentsReset, fieldsReset;
    segmentsReset.emplace(lstSegments);
    fieldsReset.emplace(lstFields);
    const auto record = std::make_shared<const std::string>(st.records.Record(k));
    const TextEncoding encoding = RecordEncoding(*record, st.envelope.EndOfBlockChar);
    if (selected == 1) {
        RecLen = static_cast<int32_t>(record->size());
        DisplayRecordSegmentFieldLengths();
    }
    // Both lists are filled from compact rows in one go; a row's width is estimated from its
    // length, so a huge segment or a million lines cost no measuring.
    const std::vector<std::string_view> segments =
        SplitRecordSegments(*record, st.envelope.EndOfBlockChar);
    auto segmentRows = std::make_shared<SegmentRows>(record, encoding);
    std::string_view longestSegment;
    for (std::string_view segment : segments) {
        if (segment.size() > longestSegment.size())
            longestSegment = segment;
        // Blank lines leave the segment list once the field lines are built.
        if (!TrimBlanks(segment).empty())
            segmentRows->Add(segment);
    }
    auto fieldRows = std::make_shared<FieldRows>(encoding);
    const DisplayOptions options = CurrentDisplayOptions();
    int32_t segmentRow = 0;
    for (std::string_view segment : segments) {
        // Blank segments have no row of their own (see above).
        const bool listed = !TrimBlanks(segment).empty();
        fieldRows->lines.BeginSegment(listed ? segmentRow++ : -1);
        AppendSegmentFieldLines(segment, options, st.dictionary, st.view.ViewFields, st.delimiters,
                                fieldRows->lines, encoding);
    }
    const FieldLineBuffer& lines = fieldRows->lines;
    size_t longestLine = 0;
    for (size_t i = 1; i < lines.size(); ++i)
        if (lines.Length(i) > lines.Length(longestLine))
            longestLine = i;

    // Only a short row is measured (and only in a proportional font).
    auto widen = [](ListBox* list, std::string_view row, TextEncoding rowEncoding) {
        const qsizetype chars = TextLength(row, rowEncoding);
        const QString text =
            chars <= ListBox::LongestMeasured ? DecodeText(row, rowEncoding) : QString();
        return list->Widen(chars, chars <= ListBox::LongestMeasured ? &text : nullptr);
    };
    if (!segments.empty() && widen(lstSegments, longestSegment, encoding))
        LongestSegmentLength = static_cast<int32_t>(longestSegment.size());
    if (!lines.empty())
        widen(lstFields, lines.Line(longestLine), encoding);
    segmentsReset->rows = segmentRows;
    fieldsReset->rows = fieldRows;
    segmentsReset.reset();
    fieldsReset.reset();

    lstSegments->setUpdatesEnabled(true);
    lstFields->setUpdatesEnabled(true);
    lblFile->setText(QStringLiteral("Rec %1/%2").arg(k).arg(st.records.RecordCount));
    QApplication::restoreOverrideCursor();
    CurrentRecordIndex = index;

    if (mnuFieldListLockFieldLocation->isChecked() && !st.session.LockedFieldName.isEmpty()) {
        const std::string locked = Bytes(st.session.LockedFieldName);
        for (size_t i = 0; i < lines.size(); ++i) {
            // The designation ends at the first blank, nearly always inside the padded head.
            const std::string_view head = lines.Head(i);
            const bool inHead = head.size() > 3 && head.find(' ') != std::string_view::npos;
            if ((inHead ? LineDesignation(head) : LineDesignation(lines.Line(i))) != locked)
                continue;
            lstFields->scrollToItem(lstFields->item(static_cast<int>(i)),
                                    QAbstractItemView::PositionAtTop);
            lstFields->setCurrentRow(static_cast<int>(i), QItemSelectionModel::ClearAndSelect);
            lstFields_Click();
            break;
        }
    }

    const QSignalBlocker blockRecords(lstRecords);
    lstRecords->item(index)->setSelected(true);
    lstRecords->viewport()->update();
}

void frmMain::UnselectRecordsQuietly()
{
    SuppressRecordClick = true;
    {
        const QSignalBlocker block(lstRecords);
        lstRecords->clearSelection();
    }
    SuppressRecordClick = false;
}

void frmMain::SelectCurrentRecordRow()
{
    if (CurrentRecordIndex < 0 || CurrentRecordIndex >= lstRecords->count())
        return;
    const QSignalBlocker block(lstRecords);
    lstRecords->setCurrentRow(CurrentRecordIndex, QItemSelectionModel::Select);
}

void frmMain::lstSegments_Click()
{
    ++segmentClickSerial_;
    if (SelectedRecordCount() >= 2)
        UnselectRecordsQuietly();
    SelectCurrentRecordRow();
    if (lstFields->count() > 0) {
        tbarButtons[15]->setEnabled(false);
        tbarButtons[16]->setEnabled(false);
    }
    const ListItem current = lstSegments->currentItem();
    const QString name = current ? TrimmedHead(lstSegments->Model(), current.Row()) : QString();
    if (st.session.LockedFieldName.isEmpty() && !name.isEmpty()) {
        int occurrence = 0;
        // Only the heads of the rows are read: a segment may be megabytes long.
        const ListModel& segments = lstSegments->Model();
        for (int i = 0; i <= lstSegments->currentRow(); ++i)
            if (segments.Slice(i, 0, name.size()) == name)
                ++occurrence;
        int blocks = 0;
        const int n = lstFields->count();
        for (int i = 0; i < n;) {
            if (lstFields->Model().Slice(i, 0, name.size()) != name) {
                ++i;
                continue;
            }
            if (++blocks == occurrence) {
                lstFields->scrollToItem(lstFields->item(i), QAbstractItemView::PositionAtTop);
                break;
            }
            while (i < n && !BlankRow(lstFields->Model(), i))
                ++i;
        }
    }
    // Lengths count bytes.
    const auto selectedSegments = lstSegments->selectedItems();
    SegLen = selectedSegments.size() == 1 ? static_cast<int32_t>(RowBytes(lstSegments, selectedSegments.front().Row()).size())
                                          : -1;
    DisplayRecordSegmentFieldLengths();
}

void frmMain::lstFields_Click()
{
    ++fieldClickSerial_;
    if (IsFormLoaded(frmAssignValueToField.window) > 0 && frmAssignValueToField.cboSegmentReplace
        && frmAssignValueToField.cboFieldReplace)
        GetSelectedFieldName(frmAssignValueToField.cboSegmentReplace,
                             frmAssignValueToField.cboFieldReplace);
    if (SelectedRecordCount() >= 2)
        UnselectRecordsQuietly();
    SelectCurrentRecordRow();
    if (lstFields->count() > 0) {
        tbarButtons[15]->setEnabled(true);
        tbarButtons[16]->setEnabled(true);
    }
    const ListItem current = lstFields->currentItem();
    const QString line = current ? current->text() : QString();
    if (!current || line.contains(QLatin1String(ParsedDataFollows.data()))
        || line.trimmed().isEmpty()) {
        FieldLen = -1;
    } else {
        // Lengths count bytes.
        const size_t column = ValueColumn(mnuOptionsDisplayFieldDescriptions->isChecked());
        const size_t bytes = RowBytes(lstFields, current.Row()).size();
        FieldLen = static_cast<int32_t>(bytes > column - 1 ? bytes - (column - 1) : 0);
    }
    DisplayRecordSegmentFieldLengths();
}

void frmMain::mnuFieldListLockFieldLocation_Click()
{
    // The menu item's check mark is this command's state; undo Qt's own toggle first.
    const bool wasOn = !mnuFieldListLockFieldLocation->isChecked();
    mnuFieldListLockFieldLocation->setChecked(wasOn);
    if (wasOn) {
        mnuFieldListLockFieldLocation->setChecked(false);
        st.session.LockedFieldName.clear();
        stsPanels[5]->clear();
        return;
    }
    const ListItem current = lstFields->currentItem();
    if (!current || !current->isSelected()) {
        dlg.MsgBox(QStringLiteral("You must first select the field that you want to lock onto."),
                   MsgButtons::OKOnly, MsgIcon::Information,
                   QStringLiteral("No Field to Lock Onto"));
        return;
    }
    mnuFieldListLockFieldLocation->setChecked(true);
    const QString line = current->text();
    st.session.LockedFieldName = line;
    if (line.size() < 4)
        return;
    st.session.LockedFieldName = line.left(line.indexOf(QLatin1Char(' ')));
    stsPanels[5]->setText(QStringLiteral("Locked on ") + st.session.LockedFieldName);
}

void frmMain::GetSelectedFieldName(QComboBox* cboSegmentReplace, QComboBox* cboFieldReplace)
{
    const ListItem current = lstFields->currentItem();
    const QString line = current && current->isSelected() ? current->text() : QString();
    if (line.isEmpty() || line.contains(QLatin1String(ParsedDataFollows.data()))
        || line.trimmed().isEmpty() || line.contains(QLatin1String("MSH-1 "))
        || line.contains(QLatin1String("MSH-2 "))) {
        cboSegmentReplace->setCurrentIndex(0);
        cboFieldReplace->setEditText(QString());
        return;
    }
    const QString designation = line.section(QLatin1Char(' '), 0, 0).trimmed();
    // Setting the segment makes the dialog refill its field box.
    cboSegmentReplace->setEditText(designation.left(3));
    const int segmentIndex = cboSegmentReplace->findText(designation.left(3));
    if (segmentIndex >= 0)
        cboSegmentReplace->setCurrentIndex(segmentIndex);
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const QString key = QString::fromLatin1(AssignValueFieldKey(Bytes(designation)).c_str());
    for (int i = 0; i < cboFieldReplace->count(); ++i) {
        if (cboFieldReplace->itemText(i).left(12).trimmed() == key) {
            cboFieldReplace->setCurrentIndex(i);
            cboFieldReplace->setEditText(cboFieldReplace->itemText(i));
            return;
        }
    }
}

void frmMain::mnuViewsDisable_Click()
{
    st.view.ViewFields.clear();
    stsPanels[5]->clear();
    const int index = lstRecords->currentRow();
    if (index >= 0 && lstRecords->item(index)->isSelected()) {
        lstRecords_Click();
        const QSignalBlocker block(lstRecords);
        lstRecords->item(index)->setSelected(true);
    }
}

void frmMain::LoadDescriptionFiles()
{
    const QString& root = st.folders.DataRoot;
    QStringList problems;
    if (!InstallDefaultFsa(root))
        problems << QStringLiteral("The description file '%1' could not be installed.")
                        .arg(root + QStringLiteral("fsa.dat"));
    problems << st.dictionary.LoadFsa(GetShortPath(root + QStringLiteral("fsa.dat")));
    problems << st.dictionary.LoadZSegments(
        GetShortPath(root + QStringLiteral("z-segments.dat")), [this](const std::string& line) {
            dlg.MsgBox(QStringLiteral("The following line in the z-segments.dat file can not be "
                                      "parsed and so will not be used.\r\n\r\n>")
                           + BoundedQuote(Text(line)) + QStringLiteral("<"),
                       MsgButtons::OKOnly, MsgIcon::Exclamation,
                       QStringLiteral("Bad Record in Z-Segment File"));
        });
    problems << st.dictionary.LoadDataDesc(GetShortPath(root + QStringLiteral("data-desc.dat")));
    problems.removeAll(QString());
    // A root that could not be created has been told of at start-up: its files cannot be there.
    if (!problems.isEmpty() && !st.folders.Unusable.contains(root))
        dlg.MsgBox(problems.join(QStringLiteral("\r\n")), MsgButtons::OKOnly, MsgIcon::Exclamation,
                   QStringLiteral("Description Files"));
}

}  // namespace quillon
