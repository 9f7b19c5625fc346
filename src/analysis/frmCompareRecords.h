#pragma once
// "Compare Records/Segments": two texts side by side as one table of fields, the differing rows
// in red and bold; the table goes to the clipboard as rich text. Opened modally by the compare
// commands, which leave the texts in the shared state; closing the window empties them.
#include <QDialog>
#include <array>
#include <vector>

#include "analysis/CompareRecords.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace quillon {

class frmMain;

class frmCompareRecords : public QDialog {
    Q_OBJECT
public:
    explicit frmCompareRecords(frmMain& main);

    QLabel* lblLabel;
    std::array<QLabel*, 3> lblRecord{};
    std::array<QPlainTextEdit*, 2> txtRecord{};
    QTreeWidget* lvRecords;
    QPushButton* cmdCompare;
    QPushButton* cmdCopyToClipboard;
    QPushButton* cmdCancel;

    void cmdCompare_Click();
    void cmdCopyToClipboard_Click();
    void cmdCancel_Click();
    // Fills the boxes from the shared texts (the longer one on top), adds the two record
    // columns in that order and compares when both boxes hold text. Once per opening.
    void Form_Activate();

    // A box's text as bytes: each line break read as CR; in Latin-1 while both boxes' texts fit
    // it, else in UTF-8.
    std::string BoxBytes(int index) const;
    TextEncoding BoxEncoding() const;
    const std::vector<CompareRow>& Rows() const { return rows_; }

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Resize();
    frmMain& main_;
    std::vector<CompareRow> rows_;
    TextEncoding rowsEncoding_ = TextEncoding::Latin1;
    bool activated_ = false;
};

}  // namespace quillon
