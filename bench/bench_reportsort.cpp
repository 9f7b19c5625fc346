// One header-click sort of a 100,000-row list (text, number and date columns), next to filling
// the same list with its 100,000 rows in one go, in the same run.
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <random>

#include "BenchSupport.h"
#include "reports/SortKeys.h"
#include "reports/TreeSort.h"

using namespace quillon;

namespace {

constexpr int kRows = 100000;

QList<QTreeWidgetItem*> Rows()
{
    std::mt19937 random(7);
    QList<QTreeWidgetItem*> rows;
    rows.reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
        const unsigned r = random();
        rows.append(new QTreeWidgetItem(QStringList{
            QStringLiteral("MSG%1").arg(r % 1000000, 8, 10, QLatin1Char('0')),
            QStringLiteral("PATIENT^NUMBER^%1").arg(r % 99991),
            QLocale::c().toString(static_cast<qlonglong>(r % 10000000)),
            QStringLiteral("%1/%2/20%3 %4:%5:07")
                .arg(r % 12 + 1).arg(r % 28 + 1).arg(r % 30, 2, 10, QLatin1Char('0'))
                .arg(r % 24).arg(r % 60, 2, 10, QLatin1Char('0')),
            QStringLiteral("ORU^R01"), QStringLiteral("F")}));
    }
    return rows;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    QTreeWidget list;
    list.setHeaderLabels({"MSH-10", "PID-5", "Size", "Modified", "MSH-9", "OBX-11"});
    SetColumnTag(&list, 2, QStringLiteral("NUMBER"));
    SetColumnTag(&list, 3, QStringLiteral("DATE"));
    list.resize(800, 600);
    list.show();
    QList<QTreeWidgetItem*> rows = Rows();

    QElapsedTimer t;
    t.start();
    list.addTopLevelItems(rows);
    const double fill = bench::Seconds(t);
    list.topLevelItem(5)->setSelected(true);

    bool ok = true;
    const struct {
        int column;
        ColumnKind kind;
        const char* name;
    } columns[] = {{1, ColumnKind::Text, "text"}, {2, ColumnKind::Number, "number"},
                   {3, ColumnKind::Date, "date"}};
    std::printf("%d rows: filling the list %.1f ms (reference)\n", kRows, fill * 1e3);
    for (const auto& c : columns) {
        t.restart();
        ColumnClickSort(&list, c.column, us);
        const double sort = bench::Seconds(t);
        app.processEvents();
        const std::vector<QString> keys = ColumnSortKeys(c.kind, ColumnTexts(&list, c.column), us);
        const bool right = std::is_sorted(keys.rbegin(), keys.rend())  // descending after an odd click
                           && list.topLevelItemCount() == kRows && list.selectedItems().size() == 1;
        ok = ok && right && sort < 1.0;
        std::printf("header-click sort of a %s column: %.1f ms, ratio to filling %.2f (goal under "
                    "1 s)%s%s\n",
                    c.name, sort * 1e3, sort / fill, sort < 1.0 ? "" : "  MISSED",
                    right ? "" : "  WRONG RESULT");
        ColumnClickSort(&list, 0, us);  // the next click on a new column is descending again
    }
    return ok ? 0 : 1;
}
