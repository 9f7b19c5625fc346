#include "files/frmAdministration.h"

#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace quillon {

frmAdministration::frmAdministration(AppState& st, std::function<void()> apply, QWidget* parent)
    : QDialog(parent), st_(st), apply_(std::move(apply))
{
    setObjectName(QStringLiteral("frmAdministration"));
    setWindowTitle(QStringLiteral("Administration "));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Enter Administrator password to enable OK button: "), this));
    txtPassword = new QLineEdit(this);
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    txtPassword->setEchoMode(QLineEdit::Password);
    layout->addWidget(txtPassword);

    auto* frame = new QGroupBox(QStringLiteral("DISABLE the Following Functions"), this);
    auto* boxes = new QVBoxLayout(frame);
    static const char* const captions[AdminSwitchCount] = {
        "File Open", "File Save / File Save As", "Get from FTP", "Put to FTP",
        "TCP/IP Client (sender)", "TCP/IP Server (receiver)", "Print"};
    for (size_t i = 0; i < chkDisable.size(); ++i) {
        chkDisable[i] = new QCheckBox(QLatin1String(captions[i]), frame);
        chkDisable[i]->setChecked(st_.session.AdminSwitches[i]);
        boxes->addWidget(chkDisable[i]);
    }
    layout->addWidget(frame);

    auto* buttons = new QHBoxLayout;
    cmdCommand[0] = new QPushButton(QStringLiteral("OK"), this);
    cmdCommand[1] = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCommand[0]->setDefault(true);
    cmdCommand[0]->setEnabled(false);
    buttons->addStretch();
    buttons->addWidget(cmdCommand[0]);
    buttons->addWidget(cmdCommand[1]);
    layout->addLayout(buttons);

    // Once the password was typed exactly, OK stays enabled whatever the box holds afterwards.
    connect(txtPassword, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text == QLatin1String(kPassword))
            cmdCommand[0]->setEnabled(true);
    });
    txtPassword->installEventFilter(this);
    connect(cmdCommand[0], &QPushButton::clicked, this, &frmAdministration::cmdOK_Click);
    connect(cmdCommand[1], &QPushButton::clicked, this, &QDialog::reject);
}

bool frmAdministration::eventFilter(QObject* watched, QEvent* event)
{
    // Entering the password box selects what it holds (after the click has placed the caret).
    if (watched == txtPassword && event->type() == QEvent::FocusIn)
        QTimer::singleShot(0, txtPassword, &QLineEdit::selectAll);
    return QDialog::eventFilter(watched, event);
}

void frmAdministration::cmdOK_Click()
{
    for (size_t i = 0; i < chkDisable.size(); ++i)
        st_.session.AdminSwitches[i] = chkDisable[i]->isChecked();
    if (apply_)
        apply_();
    accept();
}

}  // namespace quillon
