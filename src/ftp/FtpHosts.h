#pragma once
// Saved FTP hosts and their values in the settings, without any window. The FTP window copies
// its login controls into an FtpLoginControls, calls the command it runs and copies the
// controls back.
//
// The host list is the section `HostNames`, keys "1" to "10", an empty or missing key being a
// free slot. Each host has one section per value, named by the host text followed by
// ":UserName", ":InitialDirectory", ":PassiveFTP" and so on, holding the value under key "0";
// the settings file writes special characters of section names in a coded form, so a host text
// with brackets, "=" or ";" stays inside its own sections.
//
// Passwords are kept only while "Save Host Password" is ticked: in the desktop's keyring when
// one answers, else in the host's ":Password" section, the settings file then readable by its
// owner only.
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "platform/Dialogs.h"
#include "platform/SettingsStore.h"

namespace quillon {

// Where saved passwords live.
class FtpPasswordStore {
public:
    virtual ~FtpPasswordStore() = default;
    // False when this place could not take the password.
    virtual bool Write(const QString& host, const QString& password) = 0;
    // Nothing when this place holds no password for the host.
    virtual std::optional<QString> Read(const QString& host) = 0;
    virtual void Remove(const QString& host) = 0;
};

// Where and how a password goes into the settings file when no keyring takes it: the section
// `prefix` & name & `suffix`, key "0", the text made by `encode` (nothing when the form cannot
// hold that password, which is then not written) and read back by `decode`. Without the two
// functions the password is stored as it is.
struct SettingsPasswordForm {
    QString prefix;
    QString suffix = QStringLiteral(":Password");
    std::function<std::optional<QString>(const QString&)> encode;
    std::function<QString(const QString&)> decode;
};

// The desktop's keyring (Secret Service and the like) through QtKeychain. Each call waits for
// the keyring's answer; without a keyring service the calls fail at once.
class KeyringPasswordStore : public FtpPasswordStore {
public:
    explicit KeyringPasswordStore(QString service = QStringLiteral("Quillon FTP"))
        : service_(std::move(service))
    {
    }
    bool Write(const QString& host, const QString& password) override;
    std::optional<QString> Read(const QString& host) override;
    void Remove(const QString& host) override;

private:
    QString service_;
};

// The host's ":Password" section of the settings file (or the place `form` names), whose mode
// becomes 0600 when a password is written to it.
class SettingsPasswordStore : public FtpPasswordStore {
public:
    explicit SettingsPasswordStore(platform::SettingsStore& store, SettingsPasswordForm form = {})
        : store_(store), form_(std::move(form))
    {
    }
    bool Write(const QString& host, const QString& password) override;
    std::optional<QString> Read(const QString& host) override;
    void Remove(const QString& host) override;

private:
    QString Section(const QString& host) const { return form_.prefix + host + form_.suffix; }
    platform::SettingsStore& store_;
    SettingsPasswordForm form_;
};

// The keyring when it takes the password, else the settings file. A password is read from the
// place it was written to (a password in the settings file wins, as a keyring write removes
// it), and removed from both.
class FtpPasswords : public FtpPasswordStore {
public:
    // `keyring` may be null: the settings file only.
    FtpPasswords(platform::SettingsStore& store, std::unique_ptr<FtpPasswordStore> keyring,
                 SettingsPasswordForm form = {});
    bool Write(const QString& host, const QString& password) override;
    std::optional<QString> Read(const QString& host) override;
    void Remove(const QString& host) override;

private:
    SettingsPasswordStore file_;
    std::unique_ptr<FtpPasswordStore> keyring_;
};

// The program's passwords: the desktop's keyring, else the settings file.
std::unique_ptr<FtpPasswordStore> DesktopFtpPasswords(platform::SettingsStore& store);

// The FTP window's login controls as values, starting at their design states.
struct FtpLoginControls {
    static inline const QString kNoDirectory = QStringLiteral("Directories:");

    QString HostText;      // cboHostNames' text
    QStringList HostList;  // cboHostNames' entries, in text order
    QString UserName;
    QString Password;
    QString InitialDirectory;
    int Passive = 1;  // check box values, 0 or 1
    int Disconnect = 0;
    int AutoConnectToHost = 1;
    int SavePassword = 1;
    QString Directory = kNoDirectory;  // lblDirectory's caption
};

class FtpHosts {
public:
    static constexpr int kSlots = 10;

    FtpHosts(platform::SettingsStore& store, FtpPasswordStore& passwords)
        : store_(store), passwords_(passwords)
    {
    }

    // The saved hosts, slot by slot ("" for a free slot); index 0 is key "1".
    QStringList Slots() const;

    // Adds the saved hosts to the host list (which is not cleared first).
    void LoadFTPHostNames(FtpLoginControls& c) const;
    // Fills the login boxes and options with the host's stored values; a value that is not
    // stored reads as an empty text or an unticked box.
    void LoadUserName(FtpLoginControls& c, const QString& host);
    // Registers the host box's host and writes all its values (with the "Save Host Password"
    // mark). Nothing when the host box is empty.
    void SaveFTPHostInformation(FtpLoginControls& c);
    // The same for the "&Save" button.
    void SaveHostInformation(FtpLoginControls& c);
    // "&Save" (0) and "Delete" (1). Delete asks first and removes a host of the list with all
    // its values but the "Save Host Password" mark, then empties the login boxes.
    void cmdCommand_Click(FtpLoginControls& c, int index, platform::Dialogs& dlg);
    // "Set Dir as Default ->": the shown remote directory becomes the host's initial directory.
    void cmdSetInitialDir_Click(FtpLoginControls& c);
    // The directory label's pop-up command: the same, then every value of the host is saved.
    void mnuSetInitialDirectory_Click(FtpLoginControls& c);
    void txtInitialDirectory_LostFocus(const FtpLoginControls& c);

private:
    // Gives the host a free slot and a place in the list unless it is known or all are taken.
    void Register(FtpLoginControls& c);
    void SaveHost(FtpLoginControls& c);
    void Put(const QString& host, const char* suffix, const QString& value);
    QString Value(const QString& host, const char* suffix) const;

    platform::SettingsStore& store_;
    FtpPasswordStore& passwords_;
};

}  // namespace quillon
