#include "ftp/FtpHosts.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <functional>
#include <qt6keychain/keychain.h>

#include "app/Settings.h"
#include "ftp/FtpOptions.h"

namespace quillon {

namespace {

const QString kKey0 = QStringLiteral("0");
const QString kHostNames = QStringLiteral("HostNames");
// A keyring that does not answer in this time counts as none.
constexpr int kKeyringWaitMs = 5000;

// Runs a keyring job to its end; false when it failed or did not answer in time. The job is
// disposed of: at once when it answered, else by itself whenever it ends.
bool RunKeyringJob(QKeychain::Job* job, const std::function<void(QKeychain::Job&)>& onSuccess = {})
{
    if (!QCoreApplication::instance()) {
        delete job;
        return false;
    }
    bool done = false;
    bool ok = false;
    QEventLoop loop;
    // The loop is the connections' context: a job that answers after we gave up reaches nobody.
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job* j) {
        done = true;
        ok = j->error() == QKeychain::NoError;
        if (ok && onSuccess)
            onSuccess(*j);
        loop.quit();
    });
    QTimer::singleShot(kKeyringWaitMs, &loop, &QEventLoop::quit);
    job->setAutoDelete(false);
    job->start();
    if (!done)
        loop.exec();
    if (done)
        job->deleteLater();
    else
        job->setAutoDelete(true);
    return ok;
}

// Keyring entries follow the settings' rule: host texts differing in letter case are one host.
QString KeyringKey(const QString& host)
{
    return host.toCaseFolded();
}

}  // namespace

bool KeyringPasswordStore::Write(const QString& host, const QString& password)
{
    auto* job = new QKeychain::WritePasswordJob(service_);
    job->setKey(KeyringKey(host));
    job->setTextData(password);
    return RunKeyringJob(job);
}

std::optional<QString> KeyringPasswordStore::Read(const QString& host)
{
    auto* job = new QKeychain::ReadPasswordJob(service_);
    job->setKey(KeyringKey(host));
    std::optional<QString> password;
    RunKeyringJob(job, [&](QKeychain::Job& j) {
        password = static_cast<QKeychain::ReadPasswordJob&>(j).textData();
    });
    return password;
}

void KeyringPasswordStore::Remove(const QString& host)
{
    auto* job = new QKeychain::DeletePasswordJob(service_);
    job->setKey(KeyringKey(host));
    RunKeyringJob(job);
}

bool SettingsPasswordStore::Write(const QString& host, const QString& password)
{
    QString text = password;
    if (form_.encode) {
        const std::optional<QString> encoded = form_.encode(password);
        if (!encoded)
            return false;
        text = *encoded;
    }
    constexpr QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
    // Narrowed before the write too, so the new copy (which takes the old file's mode) is
    // never readable by others.
    if (store_.IsOpen() && QFile::exists(store_.Path()))
        QFile::setPermissions(store_.Path(), ownerOnly);
    const bool ok = store_.Save(kSettingsApp, Section(host), kKey0, text);
    if (store_.IsOpen() && QFile::exists(store_.Path()))
        return QFile::setPermissions(store_.Path(), ownerOnly) && ok;
    return ok;
}

std::optional<QString> SettingsPasswordStore::Read(const QString& host)
{
    const QString section = Section(host);
    if (store_.GetAllSettings(kSettingsApp, section).empty())
        return std::nullopt;
    const QString text = store_.Get(kSettingsApp, section, kKey0);
    return form_.decode ? form_.decode(text) : text;
}

void SettingsPasswordStore::Remove(const QString& host)
{
    store_.DeleteSection(kSettingsApp, Section(host));
}

FtpPasswords::FtpPasswords(platform::SettingsStore& store,
                           std::unique_ptr<FtpPasswordStore> keyring, SettingsPasswordForm form)
    : file_(store, std::move(form)), keyring_(std::move(keyring))
{
}

bool FtpPasswords::Write(const QString& host, const QString& password)
{
    if (password.isEmpty()) {
        Remove(host);
        return true;
    }
    if (keyring_ && keyring_->Write(host, password)) {
        file_.Remove(host);
        return true;
    }
    if (keyring_)
        keyring_->Remove(host);
    return file_.Write(host, password);
}

std::optional<QString> FtpPasswords::Read(const QString& host)
{
    if (std::optional<QString> password = file_.Read(host))
        return password;
    return keyring_ ? keyring_->Read(host) : std::nullopt;
}

void FtpPasswords::Remove(const QString& host)
{
    file_.Remove(host);
    if (keyring_)
        keyring_->Remove(host);
}

std::unique_ptr<FtpPasswordStore> DesktopFtpPasswords(platform::SettingsStore& store)
{
    return std::make_unique<FtpPasswords>(store, std::make_unique<KeyringPasswordStore>());
}

QString FtpHosts::Value(const QString& host, const char* suffix) const
{
    return store_.Get(kSettingsApp, host + QLatin1String(suffix), kKey0);
}

void FtpHosts::Put(const QString& host, const char* suffix, const QString& value)
{
    store_.Save(kSettingsApp, host + QLatin1String(suffix), kKey0, value);
}

QStringList FtpHosts::Slots() const
{
    QStringList saved;
    for (int i = 1; i <= kSlots; ++i)
        saved << store_.Get(kSettingsApp, kHostNames, QString::number(i));
    return saved;
}

void FtpHosts::LoadFTPHostNames(FtpLoginControls& c) const
{
    for (const QString& host : Slots())
        if (!host.isEmpty())
            InsertSorted(c.HostList, host);
}

void FtpHosts::LoadUserName(FtpLoginControls& c, const QString& host)
{
    // The window writes only "0" and "1"; anything else reads as unticked.
    const auto box = [&](const char* suffix) {
        return Value(host, suffix) == QLatin1String("1") ? 1 : 0;
    };
    c.UserName = Value(host, ":UserName");
    c.Password = passwords_.Read(host).value_or(QString());
    c.InitialDirectory = Value(host, ":InitialDirectory");
    c.Passive = box(":PassiveFTP");
    c.Disconnect = box(":Disconnect");
    c.AutoConnectToHost = box(":AutoConnectToHost");
    c.SavePassword = box(":SaveFTPServerPassword");
}

void FtpHosts::Register(FtpLoginControls& c)
{
    const QStringList saved = Slots();
    if (saved.contains(c.HostText))
        return;
    const qsizetype free = saved.indexOf(QString());
    if (free < 0)
        return;
    store_.Save(kSettingsApp, kHostNames, QString::number(free + 1), c.HostText);
    if (!c.HostList.contains(c.HostText))
        InsertSorted(c.HostList, c.HostText);
}

void FtpHosts::SaveHost(FtpLoginControls& c)
{
    const QString host = c.HostText;
    if (host.isEmpty())
        return;
    {
        platform::SettingsStore::Batch batch(store_);
        Register(c);
        Put(host, ":UserName", c.UserName);
        Put(host, ":InitialDirectory", c.InitialDirectory);
        Put(host, ":PassiveFTP", QString::number(c.Passive));
        Put(host, ":Disconnect", QString::number(c.Disconnect));
        Put(host, ":AutoConnectToHost", QString::number(c.AutoConnectToHost));
        // Both saves keep the "Save Host Password" mark: the password is kept only under it,
        // so a mark left unsaved would make the next save drop the password.
        Put(host, ":SaveFTPServerPassword", QString::number(c.SavePassword));
    }
    // After the batch, so a password that goes into the settings file finds the file written
    // and can narrow its mode.
    if (c.SavePassword == 1)
        passwords_.Write(host, c.Password);
    else
        passwords_.Remove(host);
}

void FtpHosts::SaveFTPHostInformation(FtpLoginControls& c)
{
    SaveHost(c);
}

void FtpHosts::SaveHostInformation(FtpLoginControls& c)
{
    SaveHost(c);
}

void FtpHosts::cmdCommand_Click(FtpLoginControls& c, int index, platform::Dialogs& dlg)
{
    if (index == 0) {
        if (!c.HostText.isEmpty())
            SaveHostInformation(c);
        return;
    }
    if (index != 1)
        return;
    const QString host = c.HostText;
    const qsizetype row = c.HostList.indexOf(host);
    if (row < 0)
        return;
    if (dlg.MsgBox(QStringLiteral("OK to delete FTP server configuration for ") + host
                       + QStringLiteral("?"),
                   platform::MsgButtons::YesNo, platform::MsgIcon::Question,
                   QStringLiteral("Delete FTP Server Configuration"))
        != platform::MsgAnswer::Yes)
        return;
    c.HostList.removeAt(row);
    {
        // The "Save Host Password" mark stays, for the host saved again.
        platform::SettingsStore::Batch batch(store_);
        for (const char* suffix : {":UserName", ":InitialDirectory", ":PassiveFTP", ":Disconnect",
                                   ":AutoConnectToHost"})
            store_.DeleteSection(kSettingsApp, host + QLatin1String(suffix));
        const QStringList saved = Slots();
        if (const qsizetype slot = saved.indexOf(host); slot >= 0)
            store_.DeleteSetting(kSettingsApp, kHostNames, QString::number(slot + 1));
    }
    passwords_.Remove(host);
    c.HostText.clear();
    c.UserName.clear();
    c.Password.clear();
    c.InitialDirectory.clear();
}

void FtpHosts::cmdSetInitialDir_Click(FtpLoginControls& c)
{
    if (c.Directory == FtpLoginControls::kNoDirectory)
        return;
    c.InitialDirectory = c.Directory;
    Put(c.HostText, ":InitialDirectory", c.InitialDirectory);
}

void FtpHosts::mnuSetInitialDirectory_Click(FtpLoginControls& c)
{
    // Before any directory is shown the label holds no path, which must not become one.
    if (c.Directory == FtpLoginControls::kNoDirectory)
        return;
    c.InitialDirectory = c.Directory;
    SaveFTPHostInformation(c);
}

void FtpHosts::txtInitialDirectory_LostFocus(const FtpLoginControls& c)
{
    if (!c.HostText.isEmpty())
        Put(c.HostText, ":InitialDirectory", c.InitialDirectory);
}

}  // namespace quillon
