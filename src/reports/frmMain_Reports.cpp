// Report Writer and the Reports menu.
#include <QApplication>

#include "app/ListBox.h"
#include "app/frmMain.h"
#include "app/frmProgressIndicator.h"
#include "records/FieldLines.h"
#include "reports/ReportBuilder.h"
#include "reports/frmReport.h"

namespace quillon {

namespace {

// The main window shows the hourglass from the start of a build until its report window
// closes, on every way out; the report window keeps its own pointer.
struct MainWindowWait {
    explicit MainWindowWait(QWidget* w) : window(w) { window->setCursor(Qt::WaitCursor); }
    ~MainWindowWait() { window->unsetCursor(); }
    MainWindowWait(const MainWindowWait&) = delete;
    MainWindowWait& operator=(const MainWindowWait&) = delete;
    QWidget* window;
};

}  // namespace

void frmMain::mnuFieldListPrintReport_Click()
{
    std::vector<std::string> designations;
    for (int i = 0; i < lstFields->count(); ++i) {
        const ListItem item = lstFields->item(i);
        if (!item->isSelected())
            continue;
        const std::string line = item->text().toLatin1().toStdString();
        if (TrimBlanks(line).empty())
            continue;
        // The designation column is 15 characters wide; a longer designation was cut to it.
        const std::string_view head = std::string_view(line).substr(0, DesignationColumns);
        designations.emplace_back(LineDesignation(TrimBlanks(head)));
    }
    ShowReport(designations, QString());
}

void frmMain::ShowReport(const std::vector<std::string>& designations, const QString&)
{
    const MainWindowWait wait(this);
    ReportTable table;
    {
        frmProgressIndicator progress(st.session.ProgressCancelled, this);
        progress.StartRun(st.records.RecordCount);
        const ReportRules rules{st.delimiters, st.envelope.EndOfBlockChar,
                                mnuOptionsDisplayEmptyFields->isChecked()};
        table = BuildReport(st.records, designations, rules, [&](int32_t record, int32_t) {
            progress.progBar->setValue(record);
            QApplication::processEvents();
            return !st.session.ProgressCancelled;
        });
        // A Cancel pressed as the last records were read still stops the report.
        QApplication::processEvents();
        if (st.session.ProgressCancelled)
            table.cancelled = true;
    }
    if (table.cancelled) {
        st.session.ProgressCancelled = false;
        return;
    }
    frmReport window(this);
    window.dictionary = &st.dictionary;
    window.saveDefinition = [this](const std::vector<std::string>& columns) {
        SaveReportAs(columns);
    };
    window.dialogs = &dlg;
    window.settings = &st.settings;
    window.mainWindow = this;
    window.mainCaption = windowTitle();
    window.lastFileSavePath = st.options.LastFileSavePath;
    window.reportFontName = st.options.ReportFontName;
    window.reportFontSize = st.options.ReportFontSize;
    window.Fill(table);
    window.exec();
}

}  // namespace quillon
