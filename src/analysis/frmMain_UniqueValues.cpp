// Unique field values from the Tools menu and the field list.
#include "analysis/frmUniqueFieldValues.h"
#include "app/frmMain.h"

namespace quillon {

void frmMain::mnuFieldListUniqueValues_Click()
{
    st.editing.FilterRepetition.assign(1, '0');  // (not = "0": GCC 12 gives a false -Wrestrict)
    const int row = SelectedRow(lstFields);
    if (row < 0)
        return;
    const QString line = lstFields->item(row)->text();
    if (line.trimmed().isEmpty())
        return;
    // The designation that begins every field line, such as PID-3(2).
    const qsizetype blank = line.indexOf(QLatin1Char(' '));
    const QString designation = blank < 0 ? QString() : line.left(blank).trimmed();
    st.analysis.UniqueValuesField = designation.toLatin1().toStdString();
    const qsizetype open = designation.indexOf(QLatin1Char('('));
    if (open >= 0) {
        const qsizetype close = designation.indexOf(QLatin1Char(')'), open);
        st.editing.FilterRepetition =
            designation.mid(open + 1, close < 0 ? -1 : close - open - 1).toLatin1().toStdString();
    }
    frmUniqueFieldValues window(st, dlg, mnuOptionsDisplayEmptyFields->isChecked(), this);
    window.exec();
}

void frmMain::mnuToolsDetermineUniqueFieldValues_Click()
{
    st.analysis.UniqueValuesField.clear();
    frmUniqueFieldValues window(st, dlg, mnuOptionsDisplayEmptyFields->isChecked(), this);
    window.exec();
}

}  // namespace quillon
