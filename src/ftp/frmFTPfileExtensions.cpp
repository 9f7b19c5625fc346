#include "ftp/frmFTPfileExtensions.h"

#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>

#include "app/WindowUtility.h"
#include "files/ExtensionList.h"

namespace quillon {

using platform::MsgButtons;
using platform::MsgIcon;

frmFTPfileExtensions::frmFTPfileExtensions(FtpFileTypes& types, platform::SettingsStore& store,
                                           platform::Dialogs& dlg, QWidget* parent)
    : QDialog(parent), types_(types), store_(store), dlg_(dlg)
{
    setObjectName(QStringLiteral("frmFTPfileExtensions"));
    setWindowTitle(QStringLiteral("FTP File Extensions"));
    setModal(true);

    auto named = [](auto* widget, const char* name) {
        widget->setObjectName(QLatin1String(name));
        return widget;
    };

    auto* frame = named(new QGroupBox(QStringLiteral("Files of Type List"), this),
                        "frmFrameFilesOfType");
    lstExtensions = named(new QListWidget(frame), "lstExtensions");
    lstExtensions->setFont(QFont(QStringLiteral("Courier New")));
    lstExtensions->setSelectionMode(QAbstractItemView::SingleSelection);
    cmdAdd = named(new QPushButton(QStringLiteral("Add"), frame), "cmdAdd");
    cmdDelete = named(new QPushButton(QStringLiteral("Delete"), frame), "cmdDelete");
    cmdSetDefault = named(new QPushButton(QStringLiteral("Set Selected as Default"), frame),
                          "cmdSetDefault");
    cmdDelete->setEnabled(false);
    cmdSetDefault->setEnabled(false);
    lblDefaultExtension = named(new QLabel(frame), "lblDefaultExtension");
    auto* frameButtons = new QVBoxLayout;
    frameButtons->addWidget(cmdAdd);
    frameButtons->addWidget(cmdDelete);
    frameButtons->addWidget(cmdSetDefault);
    frameButtons->addStretch();
    auto* frameLayout = new QGridLayout(frame);
    frameLayout->addWidget(lstExtensions, 0, 0);
    frameLayout->addLayout(frameButtons, 0, 1);
    auto* current = new QHBoxLayout;
    current->addWidget(named(new QLabel(QStringLiteral("Current Default Extension:"), frame),
                             "Label1"));
    current->addWidget(lblDefaultExtension, 1);
    frameLayout->addLayout(current, 1, 0, 1, 2);

    lblDesc = named(new QLabel(this), "lblDesc");
    lblDesc->setWordWrap(true);
    cmdOK = named(new QPushButton(QStringLiteral("OK"), this), "cmdOK");
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame, 1);
    layout->addWidget(lblDesc);
    layout->addLayout(buttons);

    connect(lstExtensions, &QListWidget::itemSelectionChanged, this,
            &frmFTPfileExtensions::lstExtensions_Click);
    connect(lstExtensions, &QListWidget::itemDoubleClicked, this,
            &frmFTPfileExtensions::cmdSetDefault_Click);
    connect(cmdAdd, &QPushButton::clicked, this, &frmFTPfileExtensions::cmdAdd_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &frmFTPfileExtensions::cmdDelete_Click);
    connect(cmdSetDefault, &QPushButton::clicked, this, &frmFTPfileExtensions::cmdSetDefault_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmFTPfileExtensions::cmdOK_Click);
    // Esc and the title bar reject the dialog as Cancel does: nothing is written.
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    lblDefaultExtension->setText(types_.FtpDefaultExtension);
    for (int i = 0; i < FtpFileTypes::kCount; ++i)
        if (!types_.FtpExtensions[i].isEmpty())
            lstExtensions->addItem(types_.FtpExtensions[i]);
    if (lstExtensions->count() == 0) {
        lstExtensions->addItems({QStringLiteral(".*"), QStringLiteral(".dat"),
                                 QStringLiteral(".txt")});
        lstExtensions->setCurrentRow(1);
        cmdSetDefault_Click();
    }

    lblDesc->setText(
        QStringLiteral("The 'Files of Type' list shows the various file extensions that you can "
                       "choose from ")
        + QStringLiteral("and will display only files of that type in the filename listbox.  "
                         "Examples are .txt, .dat, .log, etc.  You can ")
        + QStringLiteral("manually specify other file extensions, but these are the ones that "
                         "you will be able to select from a drop-down list-box."));

    resize(460, 360);
    CenterForm(this);
}

ExtensionList frmFTPfileExtensions::Extensions() const
{
    return {lstExtensions, lblDefaultExtension, cmdSetDefault, cmdDelete};
}

void frmFTPfileExtensions::lstExtensions_Click() { Extensions().Click(); }

void frmFTPfileExtensions::cmdSetDefault_Click() { Extensions().SetDefault(); }

void frmFTPfileExtensions::cmdAdd_Click()
{
    Extensions().Add(dlg_, QStringLiteral("Enter new file extension for FTP files:"));
}

void frmFTPfileExtensions::cmdDelete_Click() { Extensions().Delete(QStringLiteral(".*")); }

void frmFTPfileExtensions::cmdOK_Click()
{
    QStringList entries;
    for (int row = 0; row < lstExtensions->count(); ++row)
        entries << lstExtensions->item(row)->text();
    SaveFTPExtensions(store_, types_, entries, lblDefaultExtension->text());
    accept();
}

}  // namespace quillon
