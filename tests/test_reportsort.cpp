// Sorting a list's rows: the keys of text, number and date columns, the stable ordering on one
// or several keys, the header click on a tree widget and the report's sort dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

#include <QAction>
#include <QPushButton>
#include <QTimer>

#include "records/Dictionary.h"
#include "reports/ReportBuilder.h"
#include "reports/frmReport.h"
#include "reports/SortKeys.h"
#include "reports/TreeSort.h"
#include "reports/frmReportSort.h"

// Texts in failure messages as text.
void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace quillon::test {
namespace {

const QLocale kUs(QLocale::English, QLocale::UnitedStates);

QString Repeat(char c, int n) { return QString(n, QLatin1Char(c)); }

TEST(SortKeys, KeysOfNumbersDatesAndText)
{
    const struct {
        QString tag, text, key;
    } cases[] = {
        {"NUMBER", "1234.5", Repeat('0', 26) + "1234.5" + Repeat('0', 29)},
        {"number", "-1234.5", "&" + Repeat('9', 26) + "8765.4" + Repeat('9', 29)},
        {"NUMBER", "1,234,567", Repeat('0', 23) + "1234567." + Repeat('0', 30)},
        {"NUMBER", " 0 ", Repeat('0', 30) + "." + Repeat('0', 30)},
        {"NUMBER", "-0", Repeat('0', 30) + "." + Repeat('0', 30)},
        {"NUMBER", "-0.5", "&" + Repeat('9', 30) + ".4" + Repeat('9', 29)},
        {"NUMBER", "abc", ""},
        {"NUMBER", "", ""},
        {"NUMBER", "12abc", ""},
        {"Date", "12/31/2012 14:05:09", "20121231140509"},
        {"DATE", "1/2/2013 8:00:00", "20130102080000"},
        {"DATE", "1/2/13", "20130102000000"},
        {"DATE", "12/31/45 2:05:09 PM", "19451231140509"},
        {"DATE", "2012-12-31", "20121231000000"},
        {"DATE", "14:05:09", "18991230140509"},
        {"DATE", "2/30/2012", ""},
        {"DATE", "n/a", ""},
        {"DATE", "", ""},
        {"STRING", "Abc-1", "abc-1"},
        {"", "-12", "-12"},
    };
    for (const auto& c : cases) {
        const ColumnKind kind = ColumnKindOfTag(c.tag);
        EXPECT_EQ(ColumnSortKeys(kind, {c.text}, kUs).front(), c.key) << qPrintable(c.tag + ": " + c.text);
    }
    EXPECT_EQ(ComplementDigits("-12.30a,9"), " 87.69a,0");
    // A decimal comma is written where the locale has it.
    EXPECT_EQ(NumberSortKey("1.234,5", QLocale(QLocale::German, QLocale::Germany)),
              Repeat('0', 26) + "1234,5" + Repeat('0', 29));
}

std::vector<QString> Texts(std::initializer_list<const char*> texts)
{
    std::vector<QString> out;
    for (const char* t : texts)
        out.push_back(QString::fromLatin1(t));
    return out;
}

TEST(SortKeys, RowOrderIsStableAndFollowsEachKeysDirection)
{
    const std::vector<QString> numbers = Texts({"-5", "3", "abc", "-10", ""});
    const std::vector<QString> letters = Texts({"A", "AB", "b", "a", "A"});
    const std::vector<QString> second = Texts({"Z", "A", "x", "y", "B"});
    const struct {
        const char* name;
        std::vector<SortKeyColumn> keys;
        std::vector<int> order;
    } cases[] = {
        {"numbers ascending", {{ColumnSortKeys(ColumnKind::Number, numbers, kUs), false}}, {2, 4, 3, 0, 1}},
        {"numbers descending", {{ColumnSortKeys(ColumnKind::Number, numbers, kUs), true}}, {1, 0, 3, 2, 4}},
        {"numbers as text", {{ColumnSortKeys(ColumnKind::Text, numbers, kUs), false}}, {4, 3, 0, 1, 2}},
        {"text, case folded, stable", {{ColumnSortKeys(ColumnKind::Text, letters, kUs), false}}, {0, 3, 4, 1, 2}},
        // "A " sorts before "AB": the padding blank comes before any letter.
        {"padded then second", {{PaddedSortKeys(letters), false}, {PaddedSortKeys(second), false}}, {4, 3, 0, 1, 2}},
        {"padded, second descending", {{PaddedSortKeys(letters), false}, {PaddedSortKeys(second), true}}, {0, 3, 4, 1, 2}},
        {"first descending", {{PaddedSortKeys(letters), true}, {PaddedSortKeys(second), false}}, {2, 1, 4, 3, 0}},
        {"no key", {}, {0, 1, 2, 3, 4}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SortedRowOrder(c.keys, 5), c.order) << c.name;
}

// Rows of (name, size, modified), tagged as the FTP file list is.
void FillList(QTreeWidget& list, const std::vector<std::vector<QString>>& rows)
{
    list.setColumnCount(3);
    list.setHeaderLabels({"File Name", "File Size", "Modified"});
    SetColumnTag(&list, 0, "STRING");
    SetColumnTag(&list, 1, "NUMBER");
    SetColumnTag(&list, 2, "DATE");
    for (const auto& row : rows) {
        auto* item = new QTreeWidgetItem(QStringList(row.begin(), row.end()));
        item->setData(0, Qt::UserRole, row[0] + "-tag");
        list.addTopLevelItem(item);
    }
}

// The first column's texts; each row still carries its own tag.
std::vector<QString> Names(const QTreeWidget& list)
{
    for (int r = 0; r < list.topLevelItemCount(); ++r)
        EXPECT_EQ(list.topLevelItem(r)->data(0, Qt::UserRole).toString(),
                  list.topLevelItem(r)->text(0) + "-tag");
    return ColumnTexts(&list, 0);
}

TEST(TreeSort, HeaderClicksFlipTheOrderAndKeepCellsAndSelection)
{
    QTreeWidget list;
    list.setSelectionMode(QAbstractItemView::ExtendedSelection);
    FillList(list, {{"b.hl7", "99,999", "1/2/2013 08:00:00"},
                    {"a.hl7", "1,234,567", "12/31/2012 14:05:09"},
                    {"c.hl7", "n/a", "n/a"},
                    {"d.hl7", "-5", "12/31/2012 14:05:10"}});
    QObject::connect(list.header(), &QHeaderView::sectionClicked, &list,
                     [&list](int column) { ColumnClickSort(&list, column, kUs); });
    list.header()->setSectionsClickable(true);
    list.header()->moveSection(2, 0);  // the click follows the column, not its place
    list.show();
    list.topLevelItem(1)->setSelected(true);
    list.setCurrentItem(list.topLevelItem(1), 0, QItemSelectionModel::NoUpdate);

    auto click = [&list](int column) {
        const QPoint at(list.header()->sectionViewportPosition(column) + 5, 5);
        QTest::mouseClick(list.header()->viewport(), Qt::LeftButton, {}, at);
    };
    const struct {
        int column;
        std::vector<QString> names;
    } clicks[] = {
        {1, Texts({"a.hl7", "b.hl7", "d.hl7", "c.hl7"})},  // first click descending
        {1, Texts({"c.hl7", "d.hl7", "b.hl7", "a.hl7"})},
        {2, Texts({"b.hl7", "d.hl7", "a.hl7", "c.hl7"})},
        {0, Texts({"a.hl7", "b.hl7", "c.hl7", "d.hl7"})},
    };
    for (const auto& c : clicks) {
        click(c.column);
        EXPECT_EQ(Names(list), c.names) << "column " << c.column;
        EXPECT_EQ(GetListSortState(&list).SortKey, c.column);
        ASSERT_EQ(list.selectedItems().size(), 1);
        EXPECT_EQ(list.selectedItems().front()->text(0), "a.hl7");
        EXPECT_EQ(list.currentItem()->text(0), "a.hl7");
    }
    EXPECT_EQ(ColumnTexts(&list, 1), Texts({"1,234,567", "99,999", "n/a", "-5"}));
    EXPECT_EQ(ColumnTexts(&list, 2), Texts({"12/31/2012 14:05:09", "1/2/2013 08:00:00", "n/a", "12/31/2012 14:05:10"}));
}

TEST(ReportSort, DialogSortsOnThreeKeysInDisplayOrder)
{
    DescriptionDictionary dictionary;
    dictionary.DescriptionKeys = {"MSH-9", "PID-3"};
    dictionary.Descriptions = {"Message Type", "Patient ID"};
    QTreeWidget report;
    report.setHeaderLabels({"PID-3", "PID-5", "MSH-9"});
    const char* rows[][3] = {{"2", "A", "ORU"}, {"1", "AB", "ADT"}, {"3", "A", "ADT"},
                             {"1", "A", "ORU"}, {"4", "AB", "ADT"}};
    for (const auto& row : rows)
        report.addTopLevelItem(new QTreeWidgetItem(QStringList{row[0], row[1], row[2]}));
    report.header()->moveSection(2, 0);

    auto names = [&report] { return ColumnTexts(&report, 0); };
    {
        frmSortReport dialog(&report, dictionary);
        EXPECT_EQ(dialog.windowTitle(), "Sort Report");
        ASSERT_EQ(dialog.cboFieldList[2]->count(), 3);
        EXPECT_EQ(dialog.cboFieldList[2]->itemText(0), "MSH-9 - Message Type");
        EXPECT_EQ(dialog.cboFieldList[2]->itemText(2), "PID-5 - ");
        EXPECT_EQ(dialog.cboFieldList[0]->currentIndex(), -1);
        dialog.cboFieldList[0]->setCurrentIndex(2);  // PID-5
        dialog.cboFieldList[1]->setCurrentIndex(0);  // MSH-9, "Decending"
        dialog.optSortOrder[2]->setChecked(true);
        dialog.cboFieldList[2]->setCurrentIndex(1);  // PID-3
        dialog.cmdButtons_Click(1);
        EXPECT_EQ(names(), Texts({"2", "1", "3", "1", "4"})) << "Cancel";
        dialog.cmdButtons_Click(0);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(names(), Texts({"1", "2", "3", "1", "4"}));
    EXPECT_EQ(ColumnTexts(&report, 2), Texts({"ORU", "ORU", "ADT", "ADT", "ADT"}));
    EXPECT_EQ(report.columnCount(), 3);
    // The dialog leaves the list sorted ascending, so the next header click sorts descending.
    EXPECT_EQ(GetListSortState(&report).SortOrder, 0);
}

TEST(ReportSort, ReportWindowSortsOnHeaderClickAndSortMenu)
{
    DescriptionDictionary dictionary;
    dictionary.DescriptionKeys = {"PID-5"};
    dictionary.Descriptions = {"Patient Name"};
    ReportTable table;
    table.columns = {"PID-3", "PID-5"};
    const char* rows[][2] = {{"1", "B"}, {"2", "C"}, {"3", "A"}};
    for (const auto& row : rows) {
        table.AddRow(row[0]);
        table.SetLastRowCell(1, row[1]);
    }
    frmReport window;
    window.dictionary = &dictionary;
    window.Fill(table);
    emit window.lvReportList->header()->sectionClicked(1);  // first click: descending
    EXPECT_EQ(ColumnTexts(window.lvReportList, 1), Texts({"C", "B", "A"}));

    QString entry;
    QTimer::singleShot(0, [&entry] {
        auto* dialog = qobject_cast<frmSortReport*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        entry = dialog->cboFieldList[0]->itemText(1);
        dialog->cboFieldList[0]->setCurrentIndex(1);
        dialog->cmdButtons[0]->click();
    });
    window.mnuSort->trigger();
    EXPECT_EQ(entry, "PID-5 - Patient Name");
    EXPECT_EQ(ColumnTexts(window.lvReportList, 1), Texts({"A", "B", "C"}));
}

TEST(ReportSort, SortMenuAppliesEachKeysOwnOrder)
{
    ReportTable table;
    table.columns = {"MSH-10", "MSH-9", "PID-5"};
    const char* rows[][3] = {{"3", "ORU", "A"}, {"1", "ADT", "AB"}, {"4", "ADT", "A"},
                             {"2", "ORU", "AB"}, {"5", "ADT", "A"}};
    for (const auto& row : rows) {
        table.AddRow(row[0]);
        table.SetLastRowCell(1, row[1]);
        table.SetLastRowCell(2, row[2]);
    }
    struct Key {
        int entry;  // -1: none chosen
        bool descending;
    };
    const struct {
        const char* name;
        Key keys[3];
        std::vector<QString> ids;  // MSH-10 after the sort
    } cases[] = {
        {"one key, Decending", {{0, true}, {-1, false}, {-1, false}}, Texts({"5", "4", "3", "2", "1"})},
        {"one key, Ascending", {{0, false}, {-1, false}, {-1, false}}, Texts({"1", "2", "3", "4", "5"})},
        {"desc then asc", {{1, true}, {0, false}, {-1, false}}, Texts({"2", "3", "1", "4", "5"})},
        {"asc then desc", {{1, false}, {0, true}, {-1, false}}, Texts({"5", "4", "1", "3", "2"})},
        // A padded "A " sorts before "AB", so descending puts AB first.
        {"three keys mixed", {{1, false}, {2, true}, {0, true}}, Texts({"1", "5", "4", "2", "3"})},
        {"then-by keys only", {{-1, false}, {2, true}, {1, true}}, Texts({"2", "1", "3", "4", "5"})},
    };
    for (const auto& c : cases) {
        frmReport window;
        window.Fill(table);
        bool answered = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<frmSortReport*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            // "Ascending" of the keys is optSortOrder 0, 3, 4; "Decending" 1, 2, 5.
            const int ascending[3] = {0, 3, 4}, descending[3] = {1, 2, 5};
            for (int k = 0; k < 3; ++k) {
                dialog->cboFieldList[k]->setCurrentIndex(c.keys[k].entry);
                dialog->optSortOrder[c.keys[k].descending ? descending[k] : ascending[k]]->click();
            }
            answered = true;
            dialog->cmdButtons[0]->click();
        });
        window.mnuSort->trigger();
        ASSERT_TRUE(answered) << c.name;
        EXPECT_EQ(ColumnTexts(window.lvReportList, 0), c.ids) << c.name;
    }
}

}  // namespace
}  // namespace quillon::test
