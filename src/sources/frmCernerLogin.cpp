#include "sources/frmCernerLogin.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/Settings.h"
#include "platform/Dialogs.h"

namespace quillon {

namespace {

const QString kAutoLogin = QStringLiteral("CernerLogin:AutoLogin");
const QString kSavePassword = QStringLiteral("CernerLogin:SavePassword");
const QString kKey0 = QStringLiteral("0");

}  // namespace

frmCernerLogin::frmCernerLogin(platform::SettingsStore& store, platform::Dialogs& dialogs,
                               FtpPasswordStore& passwords, CernerSession& session, QWidget* parent)
    : QDialog(parent), store_(store), dlg_(dialogs), passwords_(passwords), session_(session)
{
    setWindowTitle(QStringLiteral("Cerner Oracle Login"));
    setObjectName(QStringLiteral("frmCernerLogin"));
    cboDataSource = new QComboBox(this);
    cboDataSource->setObjectName(QStringLiteral("cboDataSource"));
    cboDataSource->setEditable(true);
    cboDataSource->setInsertPolicy(QComboBox::NoInsert);
    txtUserID = new QLineEdit(this);
    txtUserID->setObjectName(QStringLiteral("txtUserID"));
    txtPassword = new QLineEdit(this);
    txtPassword->setObjectName(QStringLiteral("txtPassword"));
    txtPassword->setEchoMode(QLineEdit::Password);
    chkSavePassword = new QCheckBox(QStringLiteral("Save password upon successful login"), this);
    chkSavePassword->setObjectName(QStringLiteral("chkSavePassword"));
    chkAutoLogin = new QCheckBox(QStringLiteral("Auto-login after Data Source selected"), this);
    chkAutoLogin->setObjectName(QStringLiteral("chkAutoLogin"));
    const char* captions[] = {"Login", "Cancel", "Delete Saved Passwords"};
    for (int i = 0; i < 3; ++i) {
        cmdCommand[i] = new QPushButton(QString::fromLatin1(captions[i]), this);
        cmdCommand[i]->setObjectName(QStringLiteral("cmdCommand(%1)").arg(i));
        connect(cmdCommand[i], &QPushButton::clicked, this, [this, i] { cmdCommand_Click(i); });
    }
    cmdCommand[0]->setDefault(true);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    connect(Timer1, &QTimer::timeout, this, &frmCernerLogin::Timer1_Timer);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Data Source:"), this), 0, 0);
    grid->addWidget(cboDataSource, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("User ID:"), this), 1, 0);
    grid->addWidget(txtUserID, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("User Password:"), this), 2, 0);
    grid->addWidget(txtPassword, 2, 1);
    grid->addWidget(chkSavePassword, 3, 0, 1, 2);
    grid->addWidget(chkAutoLogin, 4, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : cmdCommand)
        buttons->addWidget(b);
    grid->addLayout(buttons, 5, 0, 1, 2);

    connect(cboDataSource, &QComboBox::activated, this, &frmCernerLogin::cboDataSource_Click);
    connect(chkSavePassword, &QCheckBox::clicked, this, &frmCernerLogin::chkSavePassword_Click);
    cboDataSource->installEventFilter(this);
    if (cboDataSource->lineEdit())
        cboDataSource->lineEdit()->installEventFilter(this);
    Form_Load();
}

void frmCernerLogin::Form_Load()
{
    cboDataSource->addItems(cerner::RememberedDataSources(store_));
    cboDataSource->setCurrentIndex(-1);
    cboDataSource->setEditText(QString());
    // A check box setting is the numeric value of its text: "" and anything odd are unticked.
    const auto ticked = [&](const QString& section) {
        return LeadingNumber(store_.Get(kSettingsApp, section, kKey0)) != 0;
    };
    chkAutoLogin->setChecked(ticked(kAutoLogin));
    chkSavePassword->setChecked(ticked(kSavePassword));
    chkAutoLogin->setEnabled(chkSavePassword->isChecked());
}

bool frmCernerLogin::eventFilter(QObject* watched, QEvent* event)
{
    // Focus passing between the combo box and its own edit field is no leaving.
    if (event->type() == QEvent::FocusOut) {
        QWidget* next = QApplication::focusWidget();
        if (next != cboDataSource && next != cboDataSource->lineEdit()
            && (watched == cboDataSource || watched == cboDataSource->lineEdit()))
            cboDataSource_LostFocus();
    }
    return QDialog::eventFilter(watched, event);
}

void frmCernerLogin::cboDataSource_Click(int index)
{
    if (index < 0)
        return;
    const QString source = cboDataSource->itemText(index);
    cboDataSource->setEditText(source);
    const QString user = cerner::StoredUserID(store_, source);
    if (user.isEmpty()) {
        txtUserID->clear();
        txtPassword->clear();
        txtUserID->setFocus();
        return;
    }
    txtUserID->setText(user);
    txtPassword->setText(passwords_.Read(source).value_or(QString()));
    // Only the tick counts, even while the box is disabled.
    if (chkAutoLogin->isChecked())
        cmdCommand_Click(0);
    else
        txtUserID->setFocus();
}

void frmCernerLogin::cboDataSource_LostFocus()
{
    const QString source = cboDataSource->currentText();
    if (source.isEmpty())
        return;
    const QString user = cerner::StoredUserID(store_, source);
    if (user.isEmpty()) {
        txtUserID->clear();
        txtUserID->setFocus();
    } else {
        txtUserID->setText(user);
        txtPassword->setFocus();
    }
}

void frmCernerLogin::chkSavePassword_Click()
{
    chkAutoLogin->setEnabled(chkSavePassword->isChecked());
}

void frmCernerLogin::cmdCommand_Click(int index)
{
    if (index == 1) {
        reject();
        return;
    }
    if (index != 0)
        return;  // "Delete Saved Passwords" does nothing.
    if (cboDataSource->currentText().isEmpty()) {
        dlg_.MsgBox(QStringLiteral("Data Source is missing."), platform::MsgButtons::OKOnly,
                    platform::MsgIcon::None, QString());
        cboDataSource->setFocus();
        return;
    }
    if (txtUserID->text().isEmpty()) {
        dlg_.MsgBox(QStringLiteral("User ID is missing."), platform::MsgButtons::OKOnly,
                    platform::MsgIcon::None, QString());
        txtUserID->setFocus();
        return;
    }
    session_.LoginOK = true;
    session_.UserID = txtUserID->text();
    session_.Password = txtPassword->text();
    session_.DataSource = cboDataSource->currentText();
    session_.SavePassword = chkSavePassword->isChecked();
    {
        platform::SettingsStore::Batch batch(store_);
        store_.Save(kSettingsApp, kAutoLogin, kKey0, chkAutoLogin->isChecked() ? "1" : "0");
        store_.Save(kSettingsApp, kSavePassword, kKey0, chkSavePassword->isChecked() ? "1" : "0");
    }
    // Closed after this handler returns, not inside it.
    Timer1->setInterval(1);
    Timer1->start();
}

void frmCernerLogin::Timer1_Timer()
{
    Timer1->stop();
    accept();
}

}  // namespace quillon
