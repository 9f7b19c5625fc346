#pragma once
#include <QDialog>
#include <QProgressBar>
#include <QPushButton>

namespace quillon {

// Shown by long loops; they poll `cancelled` (the ProgressCancelled flag) between records.
// Loading the window clears the flag; Cancel sets it and leaves the window open.
class frmProgressIndicator : public QDialog {
    Q_OBJECT
public:
    frmProgressIndicator(bool& cancelled, QWidget* parent = nullptr);

    QProgressBar* progBar;
    QPushButton* cmdCancel;

    // Shows the window over a run of `maximum` steps with the bar at 0 and lets it draw; input
    // goes to this window alone until it closes.
    void StartRun(int maximum);

public slots:
    void cmdCancel_Click();

private:
    bool& ProgressCancelled;
};

}  // namespace quillon
