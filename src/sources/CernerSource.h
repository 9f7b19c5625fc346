#pragma once
// The Cerner transaction-log source without any window: the statements it sends, the TX_KEY
// bounds of a time range, the interface lines of the picker, and what a logon remembers in the
// settings (data sources, user names and, when asked, passwords).
#include <QDate>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ftp/FtpHosts.h"
#include "platform/SettingsStore.h"

namespace quillon {

// What the login window and the picker hand to the loader.
struct CernerSession {
    bool LoginOK = false;
    QString UserID;
    QString Password;
    QString DataSource;  // an ODBC data source name
    bool SavePassword = false;
    bool PickerDone = false;
    bool PickerCancelled = false;
};

namespace cerner {

// The interfaces that keep a transaction log and can be controlled.
extern const QString kInterfaceQuery;

// The text that TX_KEY is compared with for one moment of one interface: a blank, the
// interface number as "0000", the day number (days from 5 October 2005, plus 75155), the
// second of the day as "00000" and "*".
QString TxKeyBound(qint64 interfaceNumber, const QDate& date, int hour, int minute, int second);

// A line of the picker's list: the interface id, " - " and the process name.
QString InterfaceLine(const QString& interfaceId, const QString& processName);

// What a picker line stands for.
struct InterfaceChoice {
    QString idText;   // before the first blank
    qint64 number = 0;  // the id text's numeric value
    QString name;     // after the first "-", without any blank
};
InterfaceChoice ParseInterfaceLine(const QString& line);

// The message query: `statement` goes to the database with "?" for the interface id (bound as
// a blank and the id text, as the log stores it), the start and the end bound; `displayText`
// is the same query with the values written in, for the user to read and copy.
struct MessageQuery {
    QString statement;
    std::vector<std::string> parameters;
    QString displayText;
};
MessageQuery BuildMessageQuery(const QString& idText, const QString& startBound,
                               const QString& endBound);

// The calendar date of month/day/year texts (two-digit years: 0-29 the 2000s, 30-99 the
// 1900s); invalid when the parts are not whole numbers or name no day.
QDate DateOfParts(const QString& month, const QString& day, const QString& year);
// Hour, minute and second as whole numbers from 0 to 23, 59 and 59; nothing otherwise.
std::optional<std::array<int, 3>> TimeOfParts(const QString& hour, const QString& minute,
                                              const QString& second);

// The stored form of a password: every character five codes higher; nothing when a character
// has no such partner (the form could not give the password back).
std::optional<QString> ShiftPassword(const QString& password);
QString UnshiftPassword(const QString& stored);

// Where Cerner passwords are kept: the keyring (service "Quillon Cerner") when `keyring` is
// given, else section "DataSource:" & DSN & ":PW", key "0", in the shifted form.
std::unique_ptr<FtpPasswordStore> CernerPasswords(platform::SettingsStore& store,
                                                  std::unique_ptr<FtpPasswordStore> keyring);
// The same with the desktop's keyring.
std::unique_ptr<FtpPasswordStore> DesktopCernerPasswords(platform::SettingsStore& store);

constexpr int kDataSourceSlots = 20;
// The remembered data sources of keys "1" to "20", empty ones left out.
QStringList RememberedDataSources(const platform::SettingsStore& store);
// The user name stored for a data source ("" when none).
QString StoredUserID(const platform::SettingsStore& store, const QString& dataSource);
// After a successful logon: the data source goes to the first empty key unless a key holds it
// already (exact case) or all are taken; the user name is written under its section.
void RememberLogin(platform::SettingsStore& store, const QString& dataSource,
                   const QString& userID);

}  // namespace cerner
}  // namespace quillon
