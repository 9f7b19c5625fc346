// Determine What Fields Are Used: the walk under the progress window, then the result window.
#include <QApplication>

#include "analysis/FieldsUsed.h"
#include "analysis/frmFieldsUsed.h"
#include "app/frmMain.h"
#include "app/frmProgressIndicator.h"
#include "editing/WindowText.h"

namespace quillon {

void frmMain::mnuToolsDetermineWhatFieldsAreUsed_Click()
{
    FieldsUsedResult result;
    {
        const WaitCursor wait;
        st.analysis.FieldsUsed.clear();
        frmProgressIndicator progress(st.session.ProgressCancelled, this);
        progress.StartRun(st.records.RecordCount);
        result = DetermineFieldsUsed(
            st.records, st.delimiters, st.envelope.EndOfBlockChar, st.dictionary,
            st.view.ViewFields, CurrentDisplayOptions(),
            [&](int32_t examined, DisplayOptions& options) {
                progress.progBar->setValue(examined);
                const int32_t count = st.records.RecordCount;
                if (count > 0)
                    progress.setWindowTitle(
                        QStringLiteral("Progress Indicator: %1%")
                            .arg(qRound64(100.0 * examined / count)));
                QApplication::processEvents();
                options = CurrentDisplayOptions();
                return !st.session.ProgressCancelled;
            });
        st.analysis.FieldsUsed = std::move(result.lines);
        if (result.cancelled) {
            st.session.ProgressCancelled = false;
            return;
        }
    }
    frmFieldsUsed window(st.analysis.FieldsUsed, this);
    window.exec();
}

}  // namespace quillon
