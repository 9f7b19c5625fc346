#pragma once
// The whole-record editor: the record's raw text in a multi-line box, written back by OK.
#include <QDialog>
#include <QString>

class QPlainTextEdit;
class QPushButton;

namespace quillon {

class frmEditRecord : public QDialog {
    Q_OBJECT
public:
    // `editedRecordText` is shown and, after OK, holds the edited text; Cancel leaves it alone.
    // The box shows each `endOfBlock` (and any CR or LF) as a line break; reading it back, each
    // line break becomes `endOfBlock`, and a text the user left as it was comes back whole.
    frmEditRecord(QString& editedRecordText, char endOfBlock, QWidget* parent = nullptr);

    QPlainTextEdit* txtRecord;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    QPushButton* cmdReset;
    QPushButton* cmdInsertEOB;

    // The box's text with each line break turned into the end-of-block character.
    QString RecordText() const;

public slots:
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdReset_Click();
    void cmdInsertEOB_Click();

private:
    void Form_Load();
    QString& editedRecordText_;
    QChar endOfBlock_;
    QString shownRaw_;  // the box's own form of the text it opened with
};

}  // namespace quillon
