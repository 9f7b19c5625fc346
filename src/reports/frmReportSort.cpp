#include "reports/frmReportSort.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "editing/WindowText.h"
#include "records/Dictionary.h"
#include "reports/SortKeys.h"
#include "reports/TreeSort.h"

namespace quillon {

namespace {
// Per key: its "Ascending" and "Decending" options.
constexpr int kAscending[3] = {0, 3, 4};
constexpr int kDescending[3] = {1, 2, 5};
}  // namespace

frmSortReport::frmSortReport(QTreeWidget* reportList, const DescriptionDictionary& dictionary,
                             QWidget* parent)
    : QDialog(parent), lvReportList(reportList), dictionary_(dictionary)
{
    setWindowTitle(QStringLiteral("Sort Report"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    for (int k = 0; k < 3; ++k) {
        Frame1[k] = new QGroupBox(k == 0 ? QStringLiteral("Sort by") : QStringLiteral("Then by"), this);
        auto* row = new QHBoxLayout(Frame1[k]);
        cboFieldList[k] = new QComboBox(Frame1[k]);
        cboFieldList[k]->setMinimumContentsLength(30);
        row->addWidget(cboFieldList[k], 1);
        optSortOrder[kAscending[k]] = new QRadioButton(QStringLiteral("Ascending"), Frame1[k]);
        optSortOrder[kDescending[k]] = new QRadioButton(QStringLiteral("Decending"), Frame1[k]);
        optSortOrder[kAscending[k]]->setChecked(true);
        row->addWidget(optSortOrder[kAscending[k]]);
        row->addWidget(optSortOrder[kDescending[k]]);
        layout->addWidget(Frame1[k]);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cmdButtons[0] = new QPushButton(QStringLiteral("OK"), this);
    cmdButtons[1] = new QPushButton(QStringLiteral("Cancel"), this);
    cmdButtons[0]->setDefault(true);
    for (int i = 0; i < 2; ++i) {
        buttons->addWidget(cmdButtons[i]);
        connect(cmdButtons[i], &QPushButton::clicked, this, [this, i] { cmdButtons_Click(i); });
    }
    layout->addLayout(buttons);
    Form_Load();
}

void frmSortReport::Form_Load()
{
    const QHeaderView* header = lvReportList->header();
    const int n = lvReportList->columnCount();
    for (int p = 0; p < n; ++p) {
        const QString name = lvReportList->headerItem()->text(header->logicalIndex(p));
        const QString entry =
            name + QStringLiteral(" - ")
            + QString::fromLatin1(dictionary_.LookupFieldDescription(name.toLatin1().toStdString()));
        for (QComboBox* box : cboFieldList)
            box->addItem(entry);
    }
    for (QComboBox* box : cboFieldList)
        box->setCurrentIndex(-1);
}

void frmSortReport::cmdButtons_Click(int index)
{
    if (index != 0) {
        reject();
        return;
    }
    const QHeaderView* header = lvReportList->header();
    const int n = lvReportList->columnCount();
    std::vector<SortKeyColumn> keys;
    {
        const WaitCursor wait;
        for (int k = 0; k < 3; ++k) {
            const int entry = cboFieldList[k]->currentIndex();
            if (entry < 0 || entry >= n)
                continue;
            SortKeyColumn key;
            key.keys = PaddedSortKeys(ColumnTexts(lvReportList, header->logicalIndex(entry)));
            // Each key sorts in its own order, so keys of mixed orders work together.
            key.descending = optSortOrder[kDescending[k]]->isChecked();
            keys.push_back(std::move(key));
        }
        if (!keys.empty())
            ApplyRowOrder(lvReportList, SortedRowOrder(keys, lvReportList->topLevelItemCount()));
        // The list was last sorted ascending, on a column after the report's own; the next
        // header click therefore sorts descending.
        SetListSortState(lvReportList, ListSortState{0, n, true});
    }
    accept();
}

}  // namespace quillon
