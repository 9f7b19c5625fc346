#include "tcpip/frmYourIPAddress.h"

#include <QAbstractSocket>
#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QVBoxLayout>

#include "app/WindowUtility.h"

namespace quillon {

QString LocalIPv4Address()
{
    for (const QNetworkInterface& face : QNetworkInterface::allInterfaces()) {
        const auto flags = face.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) ||
            flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& entry : face.addressEntries()) {
            const QHostAddress address = entry.ip();
            if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
                return address.toString();
        }
    }
    return QStringLiteral("127.0.0.1");
}

frmYourIPAddress::frmYourIPAddress(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Your IP Address"));

    lblIP = new QLabel(QStringLiteral("Your IP Address is: "), this);
    txtIP = new QLineEdit(this);
    txtIP->setReadOnly(true);
    lblIP->setBuddy(txtIP);
    cmdCopyToClipboard = new QPushButton(QStringLiteral("Copy to Clipboard"), this);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setDefault(true);
    cmdCopyToClipboard->setAutoDefault(false);

    auto* addressRow = new QHBoxLayout;
    addressRow->addWidget(lblIP);
    addressRow->addWidget(txtIP, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdCopyToClipboard);
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(addressRow);
    layout->addLayout(buttons);

    connect(cmdCopyToClipboard, &QPushButton::clicked, this,
            &frmYourIPAddress::cmdCopyToClipboard_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmYourIPAddress::cmdOK_Click);

    txtIP->setText(LocalIPv4Address());
    adjustSize();
    CenterForm(this);
}

void frmYourIPAddress::cmdCopyToClipboard_Click()
{
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->clear();
    clipboard->setText(txtIP->text());
}

void frmYourIPAddress::cmdOK_Click()
{
    accept();
}

}  // namespace quillon
