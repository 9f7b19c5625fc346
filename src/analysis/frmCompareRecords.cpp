#include "analysis/frmCompareRecords.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "app/Layout.h"
#include "app/WindowUtility.h"
#include "app/frmMain.h"
#include "editing/WindowText.h"

namespace quillon {

namespace {

constexpr double DesignWidth = 12060;
constexpr double DesignHeight = 8495;
constexpr double MinimumWidth = 12060;
constexpr double MinimumHeight = 4000;

void Place(QWidget* w, double left, double top, double width, double height)
{
    w->setGeometry(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
                   TwipsToPixels(height));
}

// Each segment on a line of its own: CR LF and CR alike become one line break.
QString BoxText(const std::string& bytes, TextEncoding encoding)
{
    QString text = DecodeText(bytes, encoding);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

}  // namespace

frmCompareRecords::frmCompareRecords(frmMain& main) : QDialog(&main), main_(main)
{
    setWindowTitle(QStringLiteral("Compare Records/Segments"));
    setModal(true);
    lblLabel = new QLabel(QStringLiteral("To compare two records, paste them into the following "
                                         "two fields and click [Compare].  Differences are shown "
                                         "in red."),
                          this);
    lblLabel->setWordWrap(true);
    const QFont fixed(QStringLiteral("Courier New"));
    const char* const captions[] = {"Record #1:", "Record #2:", "Comparison:"};
    for (size_t i = 0; i < lblRecord.size(); ++i)
        lblRecord[i] = new QLabel(QString::fromLatin1(captions[i]), this);
    for (size_t i = 0; i < txtRecord.size(); ++i) {
        txtRecord[i] = new QPlainTextEdit(this);
        txtRecord[i]->setObjectName(QStringLiteral("txtRecord%1").arg(i));
        txtRecord[i]->setFont(fixed);
        txtRecord[i]->setLineWrapMode(QPlainTextEdit::NoWrap);
        txtRecord[i]->installEventFilter(this);
    }
    lvRecords = new QTreeWidget(this);
    lvRecords->setObjectName(QStringLiteral("lvRecords"));
    lvRecords->setFont(fixed);
    lvRecords->setRootIsDecorated(false);
    lvRecords->setUniformRowHeights(true);
    lvRecords->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvRecords->setAllColumnsShowFocus(true);
    lvRecords->setSortingEnabled(false);
    lvRecords->setColumnCount(1);
    lvRecords->setHeaderLabels({QStringLiteral("Field Name")});
    lvRecords->headerItem()->setData(0, Qt::UserRole, QStringLiteral("NAME"));
    lvRecords->setColumnWidth(0, TwipsToPixels(1600));
    // A narrow column cuts its texts off, as the list view always did, without an ellipsis.
    lvRecords->setTextElideMode(Qt::ElideNone);

    cmdCompare = new QPushButton(QStringLiteral("Compare"), this);
    cmdCopyToClipboard = new QPushButton(QStringLiteral("Copy to Clipboard"), this);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    // Enter in a text box makes a line break; it must not press a button.
    for (QPushButton* b : {cmdCompare, cmdCopyToClipboard, cmdCancel})
        b->setAutoDefault(false);
    connect(cmdCompare, &QPushButton::clicked, this, &frmCompareRecords::cmdCompare_Click);
    connect(cmdCopyToClipboard, &QPushButton::clicked, this,
            &frmCompareRecords::cmdCopyToClipboard_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmCompareRecords::cmdCancel_Click);

    Place(lblLabel, 240, 240, 11535, 600);
    // The labels start a little further left than the design so that "Record #1:" fits in
    // the fonts of this desktop.
    Place(lblRecord[0], 120, 1140, 1080, 255);
    Place(txtRecord[0], 1200, 1140, 8535, 555);
    Place(lblRecord[1], 120, 1740, 1080, 255);
    Place(txtRecord[1], 1200, 1740, 8535, 555);
    Place(lblRecord[2], 240, 2430, 1500, 255);
    Place(lvRecords, 240, 2700, 11535, 5055);
    Place(cmdCompare, DesignWidth - 2030, 1140, 1695, 375);
    Place(cmdCopyToClipboard, DesignWidth - 2030, 1605, 1695, 375);
    Place(cmdCancel, DesignWidth - 2030, 2070, 1695, 375);
    setMinimumSize(TwipsToPixels(MinimumWidth), TwipsToPixels(MinimumHeight));
    resize(TwipsToPixels(DesignWidth), TwipsToPixels(DesignHeight));
    CenterForm(this);
}

void frmCompareRecords::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!activated_) {
        activated_ = true;
        Form_Activate();
    }
}

void frmCompareRecords::Form_Activate()
{
    const AnalysisState& a = main_.st.analysis;
    const bool firstLonger = a.CompareRecord1.size() > a.CompareRecord2.size();
    txtRecord[0]->setPlainText(firstLonger ? BoxText(a.CompareRecord1, a.CompareEncoding1)
                                           : BoxText(a.CompareRecord2, a.CompareEncoding2));
    txtRecord[1]->setPlainText(firstLonger ? BoxText(a.CompareRecord2, a.CompareEncoding2)
                                           : BoxText(a.CompareRecord1, a.CompareEncoding1));
    const QString one = QStringLiteral("Record #1");
    const QString two = QStringLiteral("Record #2");
    lvRecords->setColumnCount(3);
    QTreeWidgetItem* header = lvRecords->headerItem();
    header->setText(1, firstLonger ? one : two);
    header->setData(1, Qt::UserRole, firstLonger ? QStringLiteral("REC1") : QStringLiteral("REC2"));
    header->setText(2, firstLonger ? two : one);
    header->setData(2, Qt::UserRole, firstLonger ? QStringLiteral("REC2") : QStringLiteral("REC1"));
    Form_Resize();
    if (!txtRecord[0]->document()->isEmpty() && !txtRecord[1]->document()->isEmpty())
        cmdCompare_Click();
}

TextEncoding frmCompareRecords::BoxEncoding() const
{
    // The texts are compared as Latin-1 while both fit it, else both as UTF-8.
    for (const QPlainTextEdit* box : txtRecord)
        if (!FitsLatin1(box->toPlainText()))
            return TextEncoding::Utf8;
    return TextEncoding::Latin1;
}

std::string frmCompareRecords::BoxBytes(int index) const
{
    QString text = txtRecord[static_cast<size_t>(index)]->toPlainText();
    text.replace(QLatin1Char('\n'), QLatin1Char('\r'));
    return EncodeText(text, BoxEncoding());
}

void frmCompareRecords::cmdCompare_Click()
{
    const WaitCursor wait;
    CompareOptions options;
    options.delimiters = main_.st.delimiters;
    options.endOfBlock = main_.st.envelope.EndOfBlockChar;
    options.displayEmptyFields = main_.mnuOptionsDisplayEmptyFields->isChecked();
    if (main_.mnuOptionsDisplayFieldDescriptions->isChecked())
        options.descriptions = &main_.st.dictionary;
    rows_ = CompareTexts(BoxBytes(0), BoxBytes(1), options);
    rowsEncoding_ = BoxEncoding();

    lvRecords->setUpdatesEnabled(false);
    lvRecords->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(rows_.size()));
    QFont bold = lvRecords->font();
    bold.setBold(true);
    const QBrush red(QColor(255, 0, 0));
    for (const CompareRow& row : rows_) {
        auto* item = new QTreeWidgetItem(QStringList{DecodeText(row.name, rowsEncoding_),
                                                     DecodeText(row.value1, rowsEncoding_),
                                                     DecodeText(row.value2, rowsEncoding_)});
        const bool marks[] = {row.marked, row.value1Marked, row.value2Marked};
        for (int column = 0; column < 3; ++column)
            if (marks[column]) {
                item->setForeground(column, red);
                item->setFont(column, bold);
            }
        items.append(item);
    }
    lvRecords->addTopLevelItems(items);
    lvRecords->setUpdatesEnabled(true);
}

void frmCompareRecords::cmdCopyToClipboard_Click()
{
    const std::string rtf = CompareRowsToRtf(rows_, rowsEncoding_);
    auto* data = new QMimeData;
    data->setData(QStringLiteral("text/rtf"),
                  QByteArray(rtf.data(), static_cast<qsizetype>(rtf.size())));
    QGuiApplication::clipboard()->setMimeData(data);
}

void frmCompareRecords::cmdCancel_Click() { reject(); }

void frmCompareRecords::done(int result)
{
    main_.st.analysis.CompareRecord1.clear();
    main_.st.analysis.CompareRecord2.clear();
    QDialog::done(result);
}

void frmCompareRecords::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    Form_Resize();
}

void frmCompareRecords::Form_Resize()
{
    if (isMinimized())
        return;
    const QSize outer = frameGeometry().size();
    const double w = PixelsToTwips(std::max(outer.width(), width()));
    const double h = PixelsToTwips(std::max(outer.height(), height()));
    const double listWidth = w - 555;
    lvRecords->resize(TwipsToPixels(listWidth), std::max(0, TwipsToPixels(h - 2940 - 500)));
    lvRecords->setColumnWidth(0, TwipsToPixels(1600));
    if (lvRecords->columnCount() == 3) {
        lvRecords->setColumnWidth(1, TwipsToPixels((listWidth - 1855) / 2));
        lvRecords->setColumnWidth(2, TwipsToPixels((listWidth - 1855) / 2));
    }
    for (QPushButton* b : {cmdCompare, cmdCopyToClipboard, cmdCancel})
        b->move(TwipsToPixels(w - 2030), b->y());
    for (QPlainTextEdit* box : txtRecord)
        box->resize(TwipsToPixels(w - 3475), box->height());
}

bool frmCompareRecords::eventFilter(QObject* watched, QEvent* event)
{
    for (QPlainTextEdit* box : txtRecord) {
        if (watched != box)
            continue;
        if (event->type() == QEvent::FocusIn) {
            box->selectAll();
        } else if (event->type() == QEvent::FocusOut) {
            QTextCursor cursor = box->textCursor();
            cursor.movePosition(QTextCursor::Start);
            box->setTextCursor(cursor);
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace quillon
