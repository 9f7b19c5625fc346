#pragma once
// Shows this computer's IP address, for telling the other end of a TCP/IP link where to
// connect, with a button that copies it.
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace quillon {

// The first IPv4 address of an interface that is up and is not the loopback; "127.0.0.1"
// when there is none.
QString LocalIPv4Address();

class frmYourIPAddress : public QDialog {
    Q_OBJECT
public:
    explicit frmYourIPAddress(QWidget* parent = nullptr);

    QLabel* lblIP;
    QLineEdit* txtIP;
    QPushButton* cmdCopyToClipboard;
    QPushButton* cmdOK;

public slots:
    void cmdCopyToClipboard_Click();
    void cmdOK_Click();
};

}  // namespace quillon
