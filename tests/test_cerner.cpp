// The Cerner transaction-log source: TX_KEY bounds, statements, remembered logons and saved
// passwords; the login window and the interface picker; the load against a real database.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <map>

#include "app/Settings.h"
#include "platform/Dialogs.h"
#include "sources/CernerSource.h"
#include "sources/frmCernerInterfaces.h"
#include "sources/frmCernerLogin.h"

namespace quillon {
namespace {

using platform::MsgIcon;

const QString kKey0 = QStringLiteral("0");

TEST(CernerCore, TxKeyBoundsFollowTheEngineDayCount)
{
    const struct {
        qint64 interfaceNumber;
        QDate date;
        int h, m, s;
        const char* bound;
    } cases[] = {
        {12, QDate(2026, 12, 7), 0, 0, 0, " 00128288800000*"},
        {12, QDate(2026, 12, 7), 23, 59, 59, " 00128288886399*"},
        {7, QDate(2026, 1, 2), 7, 5, 9, " 00078254925509*"},
        {7, QDate(2026, 1, 3), 18, 0, 0, " 00078255064800*"},
        {12345, QDate(2026, 12, 7), 0, 0, 1, " 123458288800001*"},
        {1, QDate(2005, 10, 5), 0, 0, 0, " 00017515500000*"},
        {1, QDate(1799, 12, 29), 0, 0, 0, " 0001000000*"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cerner::TxKeyBound(c.interfaceNumber, c.date, c.h, c.m, c.s), QLatin1String(c.bound))
            << c.bound;
}

TEST(CernerCore, InterfaceLinesGiveIdNumberAndName)
{
    const struct {
        const char* id;
        const char* process;
        const char* line;
        qint64 number;
        const char* name;
    } cases[] = {{"12", "ADT IN", "12 - ADT IN", 12, "ADTIN"},
                 {"12345", " LAB  OUT ", "12345 -  LAB  OUT ", 12345, "LABOUT"},
                 {"7", "RAD-ORM", "7 - RAD-ORM", 7, "RAD-ORM"}};
    for (const auto& c : cases) {
        const QString line = cerner::InterfaceLine(QLatin1String(c.id), QLatin1String(c.process));
        EXPECT_EQ(line, QLatin1String(c.line));
        const cerner::InterfaceChoice choice = cerner::ParseInterfaceLine(line);
        EXPECT_EQ(choice.idText, QLatin1String(c.id));
        EXPECT_EQ(choice.number, c.number);
        EXPECT_EQ(choice.name, QLatin1String(c.name)) << c.line;
    }
}

TEST(CernerCore, StatementsBindValuesAndShowThemFilledIn)
{
    EXPECT_EQ(cerner::kInterfaceQuery,
              QStringLiteral("select OEN_PROCINFO.PROC_NAME, OEN_PROCINFO.INTERFACEID, "
                             "OEN_PROCINFO.CONTROLLABLE, OEN_PERSONALITY.INTERFACEID, OEN_PERSONALITY.NAME, "
                             "OEN_PERSONALITY.VALUE from OEN_PROCINFO, OEN_PERSONALITY where "
                             "(OEN_PROCINFO.INTERFACEID = OEN_PERSONALITY.INTERFACEID) AND "
                             "(OEN_PERSONALITY.NAME='TRANSACTION_LOG') AND (OEN_PERSONALITY.VALUE='Y') AND "
                             "(OEN_PROCINFO.CONTROLLABLE=1)"));
    const cerner::MessageQuery q = cerner::BuildMessageQuery(
        QStringLiteral("12"), QStringLiteral(" 00128288800000*"), QStringLiteral(" 00128288886399*"));
    EXPECT_EQ(q.displayText,
              QStringLiteral("select MSG_TEXT from OEN_TXLOG where OEN_TXLOG.INTERFACEID = ' 12' AND ( "
                             "TX_KEY >= ' 00128288800000*' ) AND ( TX_KEY <= ' 00128288886399*' )"));
    EXPECT_EQ(q.statement, QStringLiteral("select MSG_TEXT from OEN_TXLOG where OEN_TXLOG.INTERFACEID = ? "
                                          "AND ( TX_KEY >= ? ) AND ( TX_KEY <= ? )"));
    EXPECT_EQ(q.parameters, (std::vector<std::string>{" 12", " 00128288800000*", " 00128288886399*"}));
}

TEST(CernerCore, DateAndTimePartsAreChecked)
{
    EXPECT_EQ(cerner::DateOfParts("12", "07", "2026"), QDate(2026, 12, 7));
    EXPECT_EQ(cerner::DateOfParts("1", "2", "26"), QDate(2026, 1, 2));
    EXPECT_EQ(cerner::DateOfParts("1", "2", "99"), QDate(1999, 1, 2));
    for (const char* bad : {"2/30/2026", "13/1/2026", "a/1/2026", "1//2026", "1/1/-5"}) {
        const QStringList p = QString::fromLatin1(bad).split(u'/');
        EXPECT_FALSE(cerner::DateOfParts(p[0], p[1], p[2]).isValid()) << bad;
    }
    EXPECT_EQ(cerner::TimeOfParts("23", "59", "59"), (std::array<int, 3>{23, 59, 59}));
    for (const char* bad : {"24:0:0", "0:60:0", "0:0:60", "x:0:0", "-1:0:0", ":0:0"}) {
        const QStringList p = QString::fromLatin1(bad).split(u':');
        EXPECT_FALSE(cerner::TimeOfParts(p[0], p[1], p[2])) << bad;
    }
}

// A keyring that answers as told.
class FakeKeyring : public FtpPasswordStore {
public:
    explicit FakeKeyring(bool works) : works_(works) {}
    bool Write(const QString& name, const QString& password) override
    {
        if (works_)
            held[name] = password;
        return works_;
    }
    std::optional<QString> Read(const QString& name) override
    {
        const auto it = held.find(name);
        return it == held.end() ? std::nullopt : std::optional(it->second);
    }
    void Remove(const QString& name) override { held.erase(name); }
    std::map<QString, QString> held;

private:
    bool works_;
};

class CernerSettings : public ::testing::Test {
protected:
    QTemporaryDir dir;
    platform::SettingsStore store;
    platform::ScriptedResponder dlg;
    void SetUp() override
    {
        ASSERT_TRUE(store.Open(dir.filePath(QStringLiteral("Quillon.settings"))));
    }
    QString Get(const QString& section, const QString& key = kKey0) const
    {
        return store.Get(kSettingsApp, section, key);
    }
};

TEST_F(CernerSettings, PasswordsGoToTheKeyringElseShiftedToTheSettingsFile)
{
    EXPECT_EQ(cerner::ShiftPassword(QStringLiteral("pw")), QStringLiteral("u|"));
    EXPECT_EQ(cerner::UnshiftPassword(QStringLiteral("u|")), QStringLiteral("pw"));
    const struct {
        const char* password;
        bool keyring;
        bool kept;             // read back as written
        const char* fileText;  // under DataSource:DSN:PW, null for none
    } cases[] = {
        {"pw", false, true, "u|"},
        {"p\xc3\xa9", false, true, "u\xc3\xae"},
        {"\xf0\x9f\x98\x80", false, false, nullptr},  // outside the shifted form: not kept
        {"\xef\xbf\xbc", false, false, nullptr},
        {"\xf0\x9f\x98\x80", true, true, nullptr},    // the keyring holds anything
        {"pw", true, true, nullptr},
    };
    for (const auto& c : cases) {
        store.DeleteSection(kSettingsApp, QStringLiteral("DataSource:DSN:PW"));
        const QString password = QString::fromUtf8(c.password);
        auto keyring = std::make_unique<FakeKeyring>(c.keyring);
        const std::unique_ptr<FtpPasswordStore> passwords = cerner::CernerPasswords(store, std::move(keyring));
        EXPECT_EQ(passwords->Write(QStringLiteral("DSN"), password), c.kept);
        EXPECT_EQ(passwords->Read(QStringLiteral("DSN")), c.kept ? std::optional(password) : std::nullopt);
        EXPECT_EQ(store.GetAllSettings(kSettingsApp, QStringLiteral("DataSource:DSN:PW")).size(),
                  c.fileText ? 1U : 0U);
        if (c.fileText) {
            EXPECT_EQ(Get(QStringLiteral("DataSource:DSN:PW")), QString::fromUtf8(c.fileText));
            EXPECT_EQ(QFile::permissions(store.Path()) & (QFile::ReadGroup | QFile::ReadOther), 0);
        }
    }
}

TEST_F(CernerSettings, LogonRemembersDataSourceAndUser)
{
    const QString sources = QStringLiteral("DataSources");
    store.Save(kSettingsApp, sources, QStringLiteral("1"), QStringLiteral("A"));
    store.Save(kSettingsApp, sources, QStringLiteral("7"), QStringLiteral("SEVEN"));
    store.Save(kSettingsApp, sources, QStringLiteral("0"), QStringLiteral("ZERO"));
    cerner::RememberLogin(store, QStringLiteral("SEVEN"), QStringLiteral("u7"));
    cerner::RememberLogin(store, QStringLiteral("NEW"), QStringLiteral("un"));
    cerner::RememberLogin(store, QStringLiteral("seven"), QStringLiteral("ul"));
    EXPECT_EQ(Get(sources, QStringLiteral("2")), QStringLiteral("NEW"));
    EXPECT_EQ(Get(sources, QStringLiteral("3")), QStringLiteral("seven"));
    EXPECT_EQ(Get(QStringLiteral("DataSource:SEVEN:UserID")), QStringLiteral("ul"));  // sections ignore case
    EXPECT_EQ(Get(QStringLiteral("DataSource:NEW:UserID")), QStringLiteral("un"));
    EXPECT_EQ(cerner::RememberedDataSources(store),
              (QStringList{"A", "NEW", "seven", "SEVEN"}));
    for (int i = 1; i <= 20; ++i)
        if (Get(sources, QString::number(i)).isEmpty())
            store.Save(kSettingsApp, sources, QString::number(i), QStringLiteral("S%1").arg(i));
    cerner::RememberLogin(store, QStringLiteral("LATE"), QStringLiteral("ulate"));
    EXPECT_FALSE(cerner::RememberedDataSources(store).contains(QStringLiteral("LATE")));
    EXPECT_EQ(Get(QStringLiteral("DataSource:LATE:UserID")), QStringLiteral("ulate"));
}

// Runs events until `done` or 5 s.
template <typename F>
bool WaitFor(F done)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

TEST_F(CernerSettings, LoginWindowLoadsChoosesAndChecks)
{
    FakeKeyring keyring(false);
    const std::unique_ptr<FtpPasswordStore> passwords = cerner::CernerPasswords(store, nullptr);
    // Nothing stored: empty list, nothing ticked, auto-login disabled.
    {
        CernerSession s;
        frmCernerLogin w(store, dlg, *passwords, s);
        EXPECT_EQ(w.windowTitle(), QStringLiteral("Cerner Oracle Login"));
        EXPECT_EQ(w.cboDataSource->count(), 0);
        EXPECT_FALSE(w.chkAutoLogin->isChecked());
        EXPECT_FALSE(w.chkSavePassword->isChecked());
        EXPECT_FALSE(w.chkAutoLogin->isEnabled());
        w.chkSavePassword->click();
        EXPECT_TRUE(w.chkAutoLogin->isEnabled());
    }
    store.Save(kSettingsApp, QStringLiteral("DataSources"), QStringLiteral("2"), QStringLiteral("WITHPW"));
    store.Save(kSettingsApp, QStringLiteral("DataSources"), QStringLiteral("5"), QStringLiteral("NOPW"));
    store.Save(kSettingsApp, QStringLiteral("DataSources"), QStringLiteral("6"), QStringLiteral("NOUSER"));
    store.Save(kSettingsApp, QStringLiteral("DataSource:WITHPW:UserID"), kKey0, QStringLiteral("u1"));
    store.Save(kSettingsApp, QStringLiteral("DataSource:NOPW:UserID"), kKey0, QStringLiteral("u2"));
    passwords->Write(QStringLiteral("WITHPW"), QStringLiteral("secret"));
    store.Save(kSettingsApp, QStringLiteral("CernerLogin:AutoLogin"), kKey0, QStringLiteral("1"));
    store.Save(kSettingsApp, QStringLiteral("CernerLogin:SavePassword"), kKey0, QStringLiteral("0"));
    const struct {
        int index;
        bool autoLogin;
        const char* user;
        const char* password;
        bool loggedIn;
    } cases[] = {{0, true, "u1", "secret", true},  // ticked though disabled: logs in
                 {1, true, "u2", "", true},        // no stored password: logs in with none
                 {0, false, "u1", "secret", false},
                 {2, true, "", "", false}};        // no user: both boxes emptied
    for (const auto& c : cases) {
        CernerSession s;
        frmCernerLogin w(store, dlg, *passwords, s);
        ASSERT_EQ(w.cboDataSource->count(), 3);
        EXPECT_TRUE(w.chkAutoLogin->isChecked());
        EXPECT_FALSE(w.chkAutoLogin->isEnabled());
        w.chkAutoLogin->setChecked(c.autoLogin);
        w.txtPassword->setText(QStringLiteral("typed"));
        w.cboDataSource_Click(c.index);
        EXPECT_EQ(w.txtUserID->text(), QLatin1String(c.user));
        EXPECT_EQ(w.txtPassword->text(), QLatin1String(c.password));
        EXPECT_EQ(s.LoginOK, c.loggedIn);
        EXPECT_EQ(w.Timer1->isActive(), c.loggedIn);
        if (c.loggedIn) {
            EXPECT_EQ(s.DataSource, w.cboDataSource->itemText(c.index));
            EXPECT_EQ(s.Password, QLatin1String(c.password));
            EXPECT_FALSE(s.SavePassword);
        }
    }
    // Leaving the box looks up the typed data source's user.
    {
        CernerSession s;
        frmCernerLogin w(store, dlg, *passwords, s);
        w.txtUserID->setText(QStringLiteral("old"));
        w.cboDataSource->setEditText(QStringLiteral("TYPED"));
        w.cboDataSource_LostFocus();
        EXPECT_EQ(w.txtUserID->text(), QString());
        w.cboDataSource->setEditText(QStringLiteral("NOPW"));
        w.cboDataSource_LostFocus();
        EXPECT_EQ(w.txtUserID->text(), QStringLiteral("u2"));
    }
    // Login checks, the accepted Login closing by its timer, Cancel and the close box.
    dlg.Clear();
    CernerSession s;
    frmCernerLogin w(store, dlg, *passwords, s);
    w.show();
    w.txtUserID->setText(QStringLiteral("x"));
    w.cmdCommand[0]->click();
    w.cboDataSource->setEditText(QStringLiteral("D"));
    w.txtUserID->clear();
    w.cmdCommand[0]->click();
    w.cmdCommand[2]->click();
    ASSERT_EQ(dlg.shown().size(), 2U);
    EXPECT_EQ(dlg.shown()[0].text, QStringLiteral("Data Source is missing."));
    EXPECT_EQ(dlg.shown()[1].text, QStringLiteral("User ID is missing."));
    EXPECT_FALSE(s.LoginOK);
    w.txtUserID->setText(QStringLiteral("me"));
    w.chkSavePassword->click();
    w.chkAutoLogin->setChecked(false);
    w.cmdCommand[0]->click();
    EXPECT_TRUE(w.isVisible());  // closed after the handler returned
    EXPECT_TRUE(WaitFor([&] { return !w.isVisible(); }));
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_TRUE(s.LoginOK && s.SavePassword);
    EXPECT_EQ(s.UserID, QStringLiteral("me"));
    EXPECT_EQ(s.Password, QString());
    EXPECT_EQ(Get(QStringLiteral("CernerLogin:AutoLogin")), QStringLiteral("0"));
    EXPECT_EQ(Get(QStringLiteral("CernerLogin:SavePassword")), QStringLiteral("1"));
    for (int way = 0; way < 2; ++way) {
        CernerSession cancelled;
        frmCernerLogin c(store, dlg, *passwords, cancelled);
        c.show();
        c.cboDataSource->setEditText(QStringLiteral("D"));
        c.txtUserID->setText(QStringLiteral("me"));
        if (way == 0)
            c.cmdCommand[1]->click();
        else
            c.close();
        EXPECT_FALSE(c.isVisible());
        EXPECT_FALSE(cancelled.LoginOK);
    }
}

class CernerPicker : public ::testing::Test {
protected:
    platform::ScriptedResponder dlg;
    CernerSession s;
    QStringList Lines(const frmCernerInterfaces& w) const
    {
        QStringList lines;
        for (int i = 0; i < w.lstInterfaceName->count(); ++i)
            lines << w.lstInterfaceName->item(i)->text();
        return lines;
    }
};

TEST_F(CernerPicker, OpensOnTheMomentWithTheUserRange)
{
    const QDateTime before = QDateTime::currentDateTime();
    frmCernerInterfaces w(dlg, s);
    const QDateTime after = QDateTime::currentDateTime();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Select Cerner Interface"));
    EXPECT_TRUE(w.optDateTimeRange[1]->isChecked());
    for (const auto* boxes : {&w.txtStartDate, &w.txtEndDate}) {
        const QDate d = cerner::DateOfParts((*boxes)[0]->text(), (*boxes)[1]->text(), (*boxes)[2]->text());
        EXPECT_TRUE(d == before.date() || d == after.date());
        EXPECT_EQ((*boxes)[0]->text().size(), 2);
        EXPECT_EQ((*boxes)[2]->text().size(), 4);
    }
    for (const auto* boxes : {&w.txtStartTime, &w.txtEndTime}) {
        const auto t = cerner::TimeOfParts((*boxes)[0]->text(), (*boxes)[1]->text(), (*boxes)[2]->text());
        ASSERT_TRUE(t);
        const QTime time((*t)[0], (*t)[1], (*t)[2]);
        EXPECT_TRUE(time >= before.time().addMSecs(-before.time().msec()) && time <= after.time())
            << time.toString().toStdString();
        EXPECT_TRUE((*boxes)[0]->isEnabled());
    }
    w.optDateTimeRange[0]->click();
    EXPECT_FALSE(w.txtEndTime[2]->isEnabled());
    const frmCernerInterfaces::Range r = w.ChosenRange();
    EXPECT_EQ(r.startDate, QDate::currentDate());
    EXPECT_EQ(r.startTime, (std::array<int, 3>{0, 0, 0}));
    EXPECT_EQ(r.endTime, (std::array<int, 3>{23, 59, 59}));
}

TEST_F(CernerPicker, PartBoxesMoveTheFocusOnceActivated)
{
    frmCernerInterfaces w(dlg, s);
    w.txtStartDate[0]->setText(QStringLiteral("12"));  // not yet activated: stays
    EXPECT_NE(w.focusWidget(), w.txtStartDate[1]);
    w.Form_Activate();
    const struct {
        QLineEdit* box;
        const char* typed;
        QWidget* next;  // null: the focus stays
    } cases[] = {{w.txtStartDate[0], "1", nullptr},   {w.txtStartDate[0], "12", w.txtStartDate[1]},
                 {w.txtStartDate[0], "2", w.txtStartDate[1]}, {w.txtStartDate[1], "3", nullptr},
                 {w.txtStartDate[1], "4", w.txtStartDate[2]}, {w.txtStartDate[2], "2026", w.txtStartTime[0]},
                 {w.txtEndDate[2], "2026", w.txtEndTime[0]},  {w.txtStartTime[0], "2", nullptr},
                 {w.txtStartTime[0], "3", w.txtStartTime[1]}, {w.txtStartTime[1], "6", w.txtStartTime[2]},
                 {w.txtStartTime[2], "6", w.txtEndDate[0]},   {w.txtEndTime[2], "06", w.cmdCommand[0]}};
    for (const auto& c : cases) {
        c.box->setFocus();
        c.box->clear();  // an empty box moves nothing
        EXPECT_EQ(w.focusWidget(), c.box);
        c.box->setText(QLatin1String(c.typed));
        EXPECT_EQ(w.focusWidget(), c.next ? c.next : c.box) << c.box->objectName().toStdString() << " " << c.typed;
    }
}

TEST_F(CernerPicker, SortsByIdAndByNameInTurn)
{
    frmCernerInterfaces w(dlg, s);
    w.lstInterfaceName->addItems({"9 - ZZ", "100 - ADT IN", "10 - ADTA", "10 - B"});
    const struct {
        int button;
        QStringList lines;
    } presses[] = {{0, {"9 - ZZ", "10 - ADTA", "10 - B", "100 - ADT IN"}},
                   {0, {"100 - ADT IN", "10 - ADTA", "10 - B", "9 - ZZ"}},
                   {1, {"10 - ADTA", "100 - ADT IN", "10 - B", "9 - ZZ"}},  // ascending again
                   {1, {"9 - ZZ", "10 - B", "100 - ADT IN", "10 - ADTA"}}};
    for (const auto& p : presses) {
        w.cmdSortColumn[p.button]->click();
        EXPECT_EQ(Lines(w), p.lines);
    }
}

TEST_F(CernerPicker, OkChecksTheRangeAndTheChoice)
{
    const struct {
        bool today;
        const char* startDate;
        const char* startTime;
        const char* endDate;
        const char* endTime;
        bool select;
        const char* message;  // null: accepted
    } cases[] = {
        {false, "2/30/2026", "0:0:0", "1/1/2026", "0:0:0", true, "The start date is not a valid date."},
        {false, "2/28/2026", "0:0:0", "x/1/2026", "0:0:0", true, "The end date is not a valid date."},
        {false, "2/28/2026", "24:0:0", "1/1/2026", "0:0:0", true, "The start time is not a valid time."},
        {false, "2/28/2026", "0:0:0", "1/1/2026", "0:60:0", true, "The end time is not a valid time."},
        {false, "2/28/2026", "23:59:59", "1/1/2026", "23:59:59", false, "You have not selected an interface."},
        {false, "2/28/2026", "23:59:59", "1/1/2026", "23:59:59", true, nullptr},
        {true, "2/30/2026", "99:0:0", "x/x/x", "0:0:0", true, nullptr},
    };
    for (const auto& c : cases) {
        dlg.Clear();
        CernerSession session;
        frmCernerInterfaces w(dlg, session);
        w.lstInterfaceName->addItems({"12 - ADT IN", "7 - LAB"});
        if (c.select)
            w.lstInterfaceName->setCurrentRow(1);
        const auto fill = [](frmCernerInterfaces::PartBoxes& boxes, const char* text, QChar sep) {
            const QStringList parts = QString::fromLatin1(text).split(sep);
            for (int i = 0; i < 3; ++i)
                boxes[i]->setText(parts[i]);
        };
        fill(w.txtStartDate, c.startDate, u'/');
        fill(w.txtEndDate, c.endDate, u'/');
        fill(w.txtStartTime, c.startTime, u':');
        fill(w.txtEndTime, c.endTime, u':');
        if (c.today)
            w.optDateTimeRange[0]->click();
        w.cmdCommand[0]->click();
        EXPECT_EQ(session.PickerDone, !c.message);
        EXPECT_FALSE(session.PickerCancelled);
        if (c.message) {
            ASSERT_EQ(dlg.shown().size(), 1U);
            EXPECT_EQ(dlg.shown()[0].text, QLatin1String(c.message));
            const bool noChoice = !c.select;
            EXPECT_EQ(dlg.shown()[0].icon, noChoice ? MsgIcon::Information : MsgIcon::None);
            EXPECT_EQ(dlg.shown()[0].title, noChoice ? QStringLiteral("No Interface Selected") : QString());
        } else {
            EXPECT_TRUE(dlg.shown().empty());
        }
    }
    for (int way = 0; way < 2; ++way) {
        CernerSession session;
        frmCernerInterfaces w(dlg, session);
        w.show();
        if (way == 0)
            w.cmdCommand[1]->click();
        else
            w.close();
        EXPECT_TRUE(session.PickerDone && session.PickerCancelled);
    }
}

}  // namespace
}  // namespace quillon
