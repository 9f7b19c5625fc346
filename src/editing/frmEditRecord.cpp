#include "editing/frmEditRecord.h"

#include <QFont>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>

namespace quillon {

frmEditRecord::frmEditRecord(QString& editedRecordText, char endOfBlock, QWidget* parent)
    : QDialog(parent),
      editedRecordText_(editedRecordText),
      endOfBlock_(QChar::fromLatin1(endOfBlock))
{
    setWindowTitle(QStringLiteral("Edit Record"));
    setModal(true);
    txtRecord = new QPlainTextEdit(this);
    txtRecord->setObjectName(QStringLiteral("txtRecord"));
    txtRecord->setFont(QFont(QStringLiteral("Courier New")));
    txtRecord->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtRecord->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdReset = new QPushButton(QStringLiteral("Reset"), this);
    cmdInsertEOB = new QPushButton(QStringLiteral("Insert End-Of-Block Character"), this);
    // Enter in the box makes a line break; it must not press OK.
    cmdOK->setAutoDefault(false);
    cmdCancel->setAutoDefault(false);
    cmdReset->setAutoDefault(false);
    cmdInsertEOB->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdInsertEOB);
    buttons->addWidget(cmdReset);
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(txtRecord);
    layout->addLayout(buttons);
    resize(760, 420);

    connect(cmdOK, &QPushButton::clicked, this, &frmEditRecord::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmEditRecord::cmdCancel_Click);
    connect(cmdReset, &QPushButton::clicked, this, &frmEditRecord::cmdReset_Click);
    connect(cmdInsertEOB, &QPushButton::clicked, this, &frmEditRecord::cmdInsertEOB_Click);
    Form_Load();
}

void frmEditRecord::Form_Load()
{
    txtRecord->setPlainText(editedRecordText_);
    shownRaw_ = txtRecord->document()->toRawText();
}

QString frmEditRecord::RecordText() const
{
    // The raw text keeps every character as it is (toPlainText would turn a no-break space into
    // a blank); only the two line-break characters of the box stand for something else.
    QString text = txtRecord->document()->toRawText();
    if (text == shownRaw_)
        return editedRecordText_;
    for (QChar& c : text)
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
            c = endOfBlock_;
    return text;
}

void frmEditRecord::cmdOK_Click()
{
    editedRecordText_ = RecordText();
    accept();
}

void frmEditRecord::cmdCancel_Click()
{
    reject();
}

void frmEditRecord::cmdReset_Click()
{
    txtRecord->setPlainText(editedRecordText_);
}

void frmEditRecord::cmdInsertEOB_Click()
{
    // A CR becomes a line break in the box and is read back as the end-of-block character.
    txtRecord->insertPlainText(QString(endOfBlock_));
    txtRecord->setFocus();
}

}  // namespace quillon
