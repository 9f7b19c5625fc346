// Unique field values from the Tools menu and the field list.
#include "analysis/frmUniqueFieldValues.h"
#include "app/frmMain.h"

namespace quillon {

void frmMain::mnuFieldListUniqueValues_Click()
{
    st.editing.FilterRepetition = "0";
    const int row = SelectedRow(lstFields);
    if (row < 0)
        return;
    const QString line = lstFields->item(row)->text();
    if (line.trimmed().isEmpty())
        return;
    // The designation that begins every field line, such as PID-3(2).
    const qsizetype blank = line.indexOf(QLatin1Char(' '));
    const std::string designation =
        blank < 0 ? std::string() : line.left(blank).trimmed().toLatin1().toStdString();
    st.analysis.UniqueValuesField = designation;
    const size_t open = designation.find('(');
    if (open != std::string::npos) {
        const size_t close = designation.find(')', open);
        st.editing.FilterRepetition = designation.substr(
            open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
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
