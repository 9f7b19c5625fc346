#pragma once
// The result window of Tools > Determine Maximum Field Widths: one row per measured label,
// printable, and a double-click that asks the main window to show the record of the row.
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QWidget>
#include <vector>

#include "analysis/MaxFieldWidths.h"
#include "platform/Dialogs.h"

namespace quillon {

class frmMaximumFieldWidths : public QWidget {
    Q_OBJECT
public:
    explicit frmMaximumFieldWidths(platform::Dialogs& dialogs, QWidget* parent = nullptr);

    QLabel* Label1;
    QListWidget* lstMaxFieldWidth;
    QPushButton* cmdOK;
    QPushButton* cmdPrint;

    // Adds the rows of a run in their order among the rows already shown.
    void AddRows(const std::vector<MaxWidthRow>& rows);

    static QString Heading();

signals:
    // The designation of the double-clicked row and the width it shows.
    void jumpRequested(const QString& designation, qsizetype width);

public slots:
    void cmdOK_Click();
    void cmdPrint_Click();
    void lstMaxFieldWidth_DblClick();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    platform::Dialogs& dlg_;
};

}  // namespace quillon
