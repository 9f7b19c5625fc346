#include "reports/frmReport.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "app/WindowUtility.h"
#include "editing/WindowText.h"
#include "records/Dictionary.h"
#include "reports/ReportBuilder.h"
#include "reports/TreeSort.h"
#include "reports/frmReportSort.h"

namespace quillon {
namespace {

// 6000 x 4000 twips at 15 twips a pixel.
constexpr int MinimumWidth = 400;
constexpr int MinimumHeight = 267;
// A new column is 2250 twips wide until the window sizes it to its contents.
constexpr int NewColumnWidth = 150;

}  // namespace

frmReport::frmReport(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Report Writer"));
    setMinimumSize(MinimumWidth, MinimumHeight);
    resize(700, 450);

    auto* bar = new QMenuBar(this);
    mnuFile = bar->addMenu(QStringLiteral("&File"));
    mnuFileSaveDefinition = mnuFile->addAction(QStringLiteral("Save Report Definition..."));
    mnuFile->addSeparator();
    mnuFilePrint = mnuFile->addAction(QStringLiteral("Print..."));
    mnuFilePrint->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    mnuFile->addSeparator();
    mnuFileExit = mnuFile->addAction(QStringLiteral("Exit"));
    mnuEdit = bar->addMenu(QStringLiteral("&Edit"));
    mnuFileCut = mnuEdit->addAction(QStringLiteral("Cut"));
    mnuFileCut->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    mnuCopyToClipboard = mnuEdit->addAction(QStringLiteral("Copy"));
    mnuCopyToClipboard->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    mnuEdit->addSeparator();
    mnuEditSelectAll = mnuEdit->addAction(QStringLiteral("Select All"));
    mnuEditSelectAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    mnuSort = bar->addAction(QStringLiteral("Sort"));
    mnuExport = bar->addAction(QStringLiteral("Export"));

    lvReportList = new QTreeWidget(this);
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSizeF(8.25);
    lvReportList->setFont(font);
    lvReportList->setRootIsDecorated(false);
    lvReportList->setUniformRowHeights(true);
    lvReportList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvReportList->setColumnCount(0);
    lvReportList->header()->setSectionsMovable(true);
    // A tree view keeps its first column in place by default; every column here can move.
    lvReportList->header()->setFirstSectionMovable(true);
    lvReportList->header()->setSectionsClickable(true);
    lvReportList->header()->setStretchLastSection(false);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(bar);
    layout->addWidget(lvReportList);

    connect(mnuFileSaveDefinition, &QAction::triggered, this, &frmReport::mnuFileSaveDefinition_Click);
    connect(mnuFilePrint, &QAction::triggered, this, &frmReport::mnuFilePrint_Click);
    connect(mnuFileExit, &QAction::triggered, this, &frmReport::mnuFileExit_Click);
    connect(mnuFileCut, &QAction::triggered, this, &frmReport::mnuFileCut_Click);
    connect(mnuCopyToClipboard, &QAction::triggered, this, &frmReport::mnuCopyToClipboard_Click);
    connect(mnuEditSelectAll, &QAction::triggered, this, &frmReport::mnuEditSelectAll_Click);
    connect(mnuSort, &QAction::triggered, this, &frmReport::mnuSort_Click);
    connect(mnuExport, &QAction::triggered, this, &frmReport::mnuExport_Click);
    connect(lvReportList->header(), &QHeaderView::sectionClicked, this,
            &frmReport::lvReportList_ColumnClick);

    CenterForm(this);
}

void frmReport::Fill(const ReportTable& table)
{
    const int columns = static_cast<int>(table.columns.size());
    const size_t rows = table.RowCount();
    lvReportList->setUpdatesEnabled(false);
    lvReportList->clear();
    lvReportList->setColumnCount(columns);
    QStringList headers;
    for (const std::string& d : table.columns)
        headers << Text(d);
    lvReportList->setHeaderLabels(headers);
    for (int c = 0; c < columns; ++c) {
        lvReportList->setColumnWidth(c, NewColumnWidth);
        SetColumnTag(lvReportList, c, QStringLiteral("STRING"));
    }
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(rows));
    // A row's record is looked at only for a cell beyond ASCII, and once for all its rows.
    int32_t decided = -1;
    TextEncoding encoding = TextEncoding::Latin1;
    for (size_t r = 0; r < rows; ++r) {
        auto* item = new QTreeWidgetItem;
        for (int c = 0; c < columns; ++c) {
            const std::string_view cell = table.Cell(r, static_cast<size_t>(c));
            if (cell.empty())
                continue;
            if (IsAscii(cell)) {
                item->setText(c, Text(cell));
                continue;
            }
            if (table.RowRecord(r) != decided) {
                decided = table.RowRecord(r);
                encoding = table.RowEncoding(r);
            }
            item->setText(c, DecodeText(cell, encoding));
            if (encoding == TextEncoding::Utf8) {
                item->setData(c, CellBytesRole,
                              QByteArray(cell.data(), static_cast<qsizetype>(cell.size())));
                item->setData(0, Utf8RowRole, true);
            }
        }
        items.push_back(item);
    }
    lvReportList->addTopLevelItems(items);
    lvReportList->setUpdatesEnabled(true);
}

std::string CellBytes(const QTreeWidgetItem* item, int column)
{
    const QVariant kept = item->data(column, CellBytesRole);
    if (kept.isValid()) {
        const QByteArray bytes = kept.toByteArray();
        return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
    }
    return Bytes(item->text(column));
}

std::vector<std::string> frmReport::DisplayedDesignations() const
{
    const QHeaderView* header = lvReportList->header();
    std::vector<std::string> designations;
    for (int p = 0; p < lvReportList->columnCount(); ++p)
        designations.push_back(
            lvReportList->headerItem()->text(header->logicalIndex(p)).toLatin1().toStdString());
    return designations;
}

void frmReport::AutoSizeColumns()
{
    // The list's font is fixed-pitch, so the longest cell is the widest: measuring one text a
    // column instead of every cell keeps this quick on a long report.
    const int columns = lvReportList->columnCount();
    const int rows = lvReportList->topLevelItemCount();
    std::vector<int> widest(static_cast<size_t>(columns), -1);
    std::vector<qsizetype> longest(static_cast<size_t>(columns), 0);
    for (int r = 0; r < rows; ++r) {
        const QTreeWidgetItem* item = lvReportList->topLevelItem(r);
        for (int c = 0; c < columns; ++c) {
            const qsizetype length = item->text(c).size();
            if (length > longest[static_cast<size_t>(c)]) {
                longest[static_cast<size_t>(c)] = length;
                widest[static_cast<size_t>(c)] = r;
            }
        }
    }
    const QFontMetrics metrics(lvReportList->font());
    QHeaderView* header = lvReportList->header();
    for (int c = 0; c < columns; ++c) {
        const int row = widest[static_cast<size_t>(c)];
        const int cells = row < 0 ? 0
                                  : metrics.horizontalAdvance(lvReportList->topLevelItem(row)->text(c)) +
                                        2 * lvReportList->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 8;
        header->resizeSection(c, std::max(cells, header->sectionSizeHint(c)));
    }
}

QString frmReport::SelectedRowsText() const
{
    const int columns = lvReportList->columnCount();
    const QHeaderView* header = lvReportList->header();
    std::vector<int> order(static_cast<size_t>(columns));
    for (int p = 0; p < columns; ++p)
        order[static_cast<size_t>(p)] = header->logicalIndex(p);
    std::vector<int> rows;
    for (const QModelIndex& index : lvReportList->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());

    std::vector<qsizetype> width(static_cast<size_t>(columns));
    for (int c = 0; c < columns; ++c)
        width[static_cast<size_t>(c)] = lvReportList->headerItem()->text(c).size();
    for (const int r : rows) {
        const QTreeWidgetItem* item = lvReportList->topLevelItem(r);
        for (int c = 0; c < columns; ++c)
            width[static_cast<size_t>(c)] = std::max(width[static_cast<size_t>(c)], item->text(c).size());
    }

    QString text;
    auto line = [&](const QTreeWidgetItem* item) {
        for (const int c : order)
            text += item->text(c).leftJustified(width[static_cast<size_t>(c)] + 2, QLatin1Char(' '), true);
        text += QLatin1String("\r\n");
    };
    line(lvReportList->headerItem());
    for (const int r : rows)
        line(lvReportList->topLevelItem(r));
    return text;
}

void frmReport::mnuCopyToClipboard_Click()
{
    const WaitCursor wait;
    QApplication::clipboard()->clear();
    QApplication::clipboard()->setText(SelectedRowsText());
}

void frmReport::mnuFileCut_Click()
{
    // The rows that stay are put back in one call: removing rows one by one from a long list
    // would cost the rest of the list each time.
    const int rows = lvReportList->topLevelItemCount();
    std::vector<bool> selected(static_cast<size_t>(rows), false);
    bool any = false;
    for (const QModelIndex& index : lvReportList->selectionModel()->selectedRows()) {
        selected[static_cast<size_t>(index.row())] = true;
        any = true;
    }
    if (!any)
        return;
    lvReportList->setUpdatesEnabled(false);
    QList<QTreeWidgetItem*> all = lvReportList->invisibleRootItem()->takeChildren();
    QList<QTreeWidgetItem*> kept;
    for (qsizetype r = 0; r < all.size(); ++r) {
        if (selected[static_cast<size_t>(r)])
            delete all[r];
        else
            kept.push_back(all[r]);
    }
    lvReportList->addTopLevelItems(kept);
    lvReportList->setUpdatesEnabled(true);
}

void frmReport::mnuEditSelectAll_Click() { lvReportList->selectAll(); }

void frmReport::mnuFileExit_Click() { close(); }

void frmReport::lvReportList_ColumnClick(int column) { ColumnClickSort(lvReportList, column); }

void frmReport::mnuSort_Click()
{
    static const DescriptionDictionary none;
    frmSortReport dialog(lvReportList, dictionary ? *dictionary : none, this);
    dialog.exec();
}

// Save Report Definition.
void frmReport::mnuFileSaveDefinition_Click()
{
    if (saveDefinition)
        saveDefinition(DisplayedDesignations());
}

bool frmReport::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate)
        AutoSizeColumns();
    return QDialog::event(e);
}

}  // namespace quillon
