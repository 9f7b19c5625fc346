#include "editing/frmMsgBox.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/TextAsGiven.h"

namespace quillon {

frmMsgBox::frmMsgBox(const QString& msgBoxText, const QString& msgBoxCaption)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmMsgBox"));
    setWindowTitle(msgBoxCaption);
    lblMessageBox = new TextAsGiven(msgBoxText, this);
    lblMessageBox->setObjectName(QStringLiteral("lblMessageBox"));
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblMessageBox);
    layout->addLayout(buttons);
    setMinimumWidth(320);
}

void frmMsgBox::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    cmdOK->setFocus();
}

void frmMsgBox::Show(const QString& msgBoxText, const QString& msgBoxCaption)
{
    frmMsgBox box(msgBoxText, msgBoxCaption);
    box.exec();
}

}  // namespace quillon
