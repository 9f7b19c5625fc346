#include "sources/CernerSource.h"

#include "app/Settings.h"

namespace quillon::cerner {

namespace {

const QString kKey0 = QStringLiteral("0");
const QString kDataSources = QStringLiteral("DataSources");
constexpr char16_t kShift = 5;

QString UserIdSection(const QString& dataSource)
{
    return QStringLiteral("DataSource:") + dataSource + QStringLiteral(":UserID");
}

// A whole number written in decimal, blanks around it allowed.
std::optional<int> WholeNumber(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok ? std::optional(value) : std::nullopt;
}

// `value` with at least `width` digits, zeros in front.
QString Padded(qint64 value, int width)
{
    const QString digits = QString::number(value < 0 ? -value : value).rightJustified(width, u'0');
    return value < 0 ? QStringLiteral("-") + digits : digits;
}

}  // namespace

const QString kInterfaceQuery = QStringLiteral(
    "select OEN_PROCINFO.PROC_NAME, OEN_PROCINFO.INTERFACEID, OEN_PROCINFO.CONTROLLABLE, "
    "OEN_PERSONALITY.INTERFACEID, OEN_PERSONALITY.NAME, OEN_PERSONALITY.VALUE "
    "from OEN_PROCINFO, OEN_PERSONALITY "
    "where (OEN_PROCINFO.INTERFACEID = OEN_PERSONALITY.INTERFACEID) AND "
    "(OEN_PERSONALITY.NAME='TRANSACTION_LOG') AND (OEN_PERSONALITY.VALUE='Y') AND "
    "(OEN_PROCINFO.CONTROLLABLE=1)");

QString TxKeyBound(qint64 interfaceNumber, const QDate& date, int hour, int minute, int second)
{
    // The engine counts days so that 5 October 2005 is day 75155.
    const qint64 day = QDate(2005, 10, 5).daysTo(date) + 75155;
    const qint64 seconds = hour * 3600LL + minute * 60LL + second;
    return QStringLiteral(" ") + Padded(interfaceNumber, 4) + QString::number(day)
           + Padded(seconds, 5) + QStringLiteral("*");
}

QString InterfaceLine(const QString& interfaceId, const QString& processName)
{
    return interfaceId + QStringLiteral(" - ") + processName;
}

InterfaceChoice ParseInterfaceLine(const QString& line)
{
    InterfaceChoice c;
    const qsizetype blank = line.indexOf(u' ');
    c.idText = blank < 0 ? line : line.left(blank);
    c.number = static_cast<qint64>(LeadingNumber(c.idText));
    const qsizetype dash = line.indexOf(u'-');
    c.name = line.mid(dash + 1).trimmed().remove(u' ');
    return c;
}

MessageQuery BuildMessageQuery(const QString& idText, const QString& startBound,
                               const QString& endBound)
{
    MessageQuery q;
    q.statement = QStringLiteral(
        "select MSG_TEXT from OEN_TXLOG where OEN_TXLOG.INTERFACEID = ? AND ( TX_KEY >= ? ) AND "
        "( TX_KEY <= ? )");
    const QString id = QStringLiteral(" ") + idText;
    q.parameters = {id.toStdString(), startBound.toStdString(), endBound.toStdString()};
    q.displayText = QStringLiteral("select MSG_TEXT from OEN_TXLOG where OEN_TXLOG.INTERFACEID = '")
                    + id + QStringLiteral("' AND ( TX_KEY >= '") + startBound
                    + QStringLiteral("' ) AND ( TX_KEY <= '") + endBound + QStringLiteral("' )");
    return q;
}

QDate DateOfParts(const QString& month, const QString& day, const QString& year)
{
    const std::optional<int> m = WholeNumber(month), d = WholeNumber(day), y = WholeNumber(year);
    if (!m || !d || !y || *y < 0)
        return {};
    int fullYear = *y;
    if (fullYear < 30)
        fullYear += 2000;
    else if (fullYear < 100)
        fullYear += 1900;
    return QDate(fullYear, *m, *d);
}

std::optional<std::array<int, 3>> TimeOfParts(const QString& hour, const QString& minute,
                                              const QString& second)
{
    const std::optional<int> h = WholeNumber(hour), m = WholeNumber(minute), s = WholeNumber(second);
    // A negative part would make a bound of another day.
    if (!h || !m || !s || *h < 0 || *m < 0 || *s < 0 || *h > 23 || *m > 59 || *s > 59)
        return std::nullopt;
    return std::array<int, 3>{*h, *m, *s};
}

std::optional<QString> ShiftPassword(const QString& password)
{
    QString stored;
    stored.reserve(password.size());
    for (const QChar c : password) {
        const char16_t code = c.unicode();
        // Shifting half of a surrogate pair, or past the last code, would not come back intact
        // through the UTF-8 settings file.
        if (code > 0xFFFF - kShift || QChar::isSurrogate(code) || QChar::isSurrogate(code + kShift))
            return std::nullopt;
        stored += QChar(static_cast<char16_t>(code + kShift));
    }
    return stored;
}

QString UnshiftPassword(const QString& stored)
{
    QString password;
    password.reserve(stored.size());
    for (const QChar c : stored)
        password += QChar(static_cast<char16_t>(c.unicode() - kShift));
    return password;
}

std::unique_ptr<FtpPasswordStore> CernerPasswords(platform::SettingsStore& store,
                                                  std::unique_ptr<FtpPasswordStore> keyring)
{
    SettingsPasswordForm form;
    form.prefix = QStringLiteral("DataSource:");
    form.suffix = QStringLiteral(":PW");
    form.encode = ShiftPassword;
    form.decode = UnshiftPassword;
    return std::make_unique<FtpPasswords>(store, std::move(keyring), std::move(form));
}

std::unique_ptr<FtpPasswordStore> DesktopCernerPasswords(platform::SettingsStore& store)
{
    return CernerPasswords(store,
                           std::make_unique<KeyringPasswordStore>(QStringLiteral("Quillon Cerner")));
}

QStringList RememberedDataSources(const platform::SettingsStore& store)
{
    QStringList sources;
    for (int i = 1; i <= kDataSourceSlots; ++i) {
        const QString s = store.Get(kSettingsApp, kDataSources, QString::number(i));
        if (!s.isEmpty())
            sources << s;
    }
    return sources;
}

QString StoredUserID(const platform::SettingsStore& store, const QString& dataSource)
{
    return store.Get(kSettingsApp, UserIdSection(dataSource), kKey0);
}

void RememberLogin(platform::SettingsStore& store, const QString& dataSource,
                   const QString& userID)
{
    platform::SettingsStore::Batch batch(store);
    int freeSlot = 0;
    bool known = false;
    for (int i = 1; i <= kDataSourceSlots && !known; ++i) {
        const QString s = store.Get(kSettingsApp, kDataSources, QString::number(i));
        known = s == dataSource;
        if (s.isEmpty() && freeSlot == 0)
            freeSlot = i;
    }
    if (!known && freeSlot > 0)
        store.Save(kSettingsApp, kDataSources, QString::number(freeSlot), dataSource);
    store.Save(kSettingsApp, UserIdSection(dataSource), kKey0, userID);
}

}  // namespace quillon::cerner
