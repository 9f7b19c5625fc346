// The Cerner transaction-log source: TX_KEY bounds, statements, remembered logons and saved
// passwords; the login window and the interface picker; the load against a real database.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QRegularExpression>
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

#include "OdbcTestDatabases.h"
#include "TestSupport.h"
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
        // Leaving by the focus, as Tab does.
        w.show();
        QApplication::setActiveWindow(&w);
        w.cboDataSource->setFocus();
        w.cboDataSource->setEditText(QStringLiteral("NOPW"));
        w.cmdCommand[2]->setFocus();
        EXPECT_EQ(w.txtUserID->text(), QStringLiteral("u2"));
        EXPECT_EQ(w.focusWidget(), w.txtPassword);
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

// The engine's tables: interfaces 12 and 12345 keep a log; 30 does not, 31 is not controllable.
// Interface 12 logged six messages on 2 and 3 January 2026, two of them outside 07:05:09 on the
// 2nd to 18:00:00 on the 3rd; interface 12345 one in the same hours.
const std::string kEngineTables = R"sql(
create table OEN_PROCINFO (PROC_NAME text, INTERFACEID integer, CONTROLLABLE integer);
create table OEN_PERSONALITY (INTERFACEID integer, NAME text, VALUE text);
create table OEN_TXLOG (INTERFACEID integer, TX_KEY text, MSG_TEXT text);
insert into OEN_PROCINFO values ('ADT IN', 12, 1), ('LAB OUT', 12345, 1), ('NOLOG', 30, 1), ('NOCTRL', 31, 0);
insert into OEN_PERSONALITY values (12, 'TRANSACTION_LOG', 'Y'), (12345, 'TRANSACTION_LOG', 'Y'),
  (30, 'TRANSACTION_LOG', 'N'), (31, 'TRANSACTION_LOG', 'Y'), (12, 'OTHER', 'Y');
insert into OEN_TXLOG values
  (12, ' 001282549255080001', 'MSH|too early'),
  (12, ' 001282549255090001', 'MSH|^~\&|first' || char(13) || 'PID|1'),
  (12, ' 001282550000000001', NULL),
  (12, ' 001282550120000001', 'MSH|big|' || hex(zeroblob(35000))),
  (12, ' 001282550647990001', 'MSH|one' || char(13) || 'MSH|two' || char(13)),
  (12, ' 001282550648000001', 'MSH|too late'),
  (12345, ' 123458254930000001', 'MSH|lab');
)sql";

// Works the login window and the picker while the loader waits for them: each step acts once
// its window shows; after 20 s whatever is still open is cancelled, so no test can hang.
class CernerDriver : public QObject {
public:
    using Step = std::function<bool()>;  // true once it found its window and acted
    explicit CernerDriver(std::vector<Step> steps) : steps_(std::move(steps))
    {
        clock_.start();
        connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
        timer_.start(20);
    }
    bool AllDone() const { return next_ == steps_.size(); }

    static frmCernerLogin* Login() { return qobject_cast<frmCernerLogin*>(QApplication::activeModalWidget()); }
    static frmCernerInterfaces* Picker()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<frmCernerInterfaces*>(w); p && p->isVisible())
                return p;
        return nullptr;
    }
    static Step LogIn(const QString& dsn, bool savePassword, const QString& password = QStringLiteral("pw"))
    {
        return [=] {
            frmCernerLogin* w = Login();
            if (!w || w->Timer1->isActive())
                return false;
            w->cboDataSource->setEditText(dsn);
            w->txtUserID->setText(QStringLiteral("clerk"));
            w->txtPassword->setText(password);
            w->chkSavePassword->setChecked(savePassword);
            w->cmdCommand[0]->click();
            return true;
        };
    }
    static Step CancelLogin()
    {
        return [] {
            frmCernerLogin* w = Login();
            if (!w || w->Timer1->isActive())
                return false;
            w->cmdCommand[1]->click();
            return true;
        };
    }
    // Picks the line starting with `id` for the user range "start" to "end" (m/d/y h:m:s).
    static Step Pick(const QString& id, const QStringList& range, QStringList* listed = nullptr)
    {
        return [=] {
            frmCernerInterfaces* w = Picker();
            // A picker already answered may still show while the loader reads the range from it.
            if (!w || w->lstInterfaceName->count() == 0 || w->property("picked").toBool())
                return false;
            w->setProperty("picked", true);
            for (int i = 0; i < w->lstInterfaceName->count(); ++i) {
                if (listed)
                    *listed << w->lstInterfaceName->item(i)->text();
                if (w->lstInterfaceName->item(i)->text().startsWith(id + QStringLiteral(" ")))
                    w->lstInterfaceName->setCurrentRow(i);
            }
            const QStringList parts = range.join(u' ').split(QRegularExpression(QStringLiteral("[/: ]")));
            frmCernerInterfaces::PartBoxes* boxes[] = {&w->txtStartDate, &w->txtStartTime, &w->txtEndDate,
                                                       &w->txtEndTime};
            for (int b = 0; b < 4; ++b)
                for (int i = 0; i < 3; ++i)
                    (*boxes[b])[i]->setText(parts[b * 3 + i]);
            w->cmdCommand[0]->click();
            return true;
        };
    }
    static Step CancelPicker()
    {
        return [] {
            frmCernerInterfaces* w = Picker();
            if (!w || w->property("picked").toBool())
                return false;
            w->close();
            return true;
        };
    }

private:
    void Tick()
    {
        if (next_ < steps_.size() && steps_[next_]())
            ++next_;
        if (clock_.elapsed() > 20000) {
            if (QWidget* w = QApplication::activeModalWidget())
                w->close();
            if (frmCernerInterfaces* p = Picker())
                p->close();
        }
    }
    std::vector<Step> steps_;
    size_t next_ = 0;
    QTimer timer_;
    QElapsedTimer clock_;
};

class CernerLoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(db.Ok()) << db.Error().toStdString();
        DatabaseMessages earlier;
        earlier.Add("MSH|old");
        f.window->ShowDatabaseRecords(std::move(earlier), QStringLiteral("OLD"));
    }
    // The records and display stay as the earlier load left them.
    void ExpectUntouched()
    {
        EXPECT_EQ(f.state.records.RecordCount, 1);
        EXPECT_EQ(f.state.records.Records[1], "MSH|old");
        EXPECT_EQ(f.window->windowTitle(), QStringLiteral("Quillon - Data from OLD"));
    }
    QStringList Texts() const
    {
        QStringList texts;
        for (const auto& shown : f.responder.shown())
            texts << shown.text;
        return texts;
    }
    test::ScratchOdbc odbc;
    test::SqliteTestDatabase db{odbc, kEngineTables, QStringLiteral("CernerLite")};
    test::MainWindowFixture f;
};

TEST_F(CernerLoad, LoadsTheChosenInterfaceAndRangeInOneStep)
{
    QStringList listed;
    CernerDriver driver({CernerDriver::LogIn(db.Dsn(), true),
                         CernerDriver::Pick(QStringLiteral("12"), {"1/2/2026 07:05:09", "1/3/2026 18:00:00"}, &listed)});
    f.window->mnuFileOpenCerner_Click();
    EXPECT_TRUE(driver.AllDone());
    EXPECT_EQ(listed, (QStringList{"12 - ADT IN", "12345 - LAB OUT"}));
    ASSERT_EQ(f.state.records.RecordCount, 4);
    ASSERT_EQ(f.state.records.Records.size(), 104U);
    EXPECT_EQ(f.state.records.Records[1], "MSH|^~\\&|first\rPID|1");
    EXPECT_EQ(f.state.records.Records[2], "");
    EXPECT_EQ(f.state.records.Records[3], "MSH|big|" + std::string(70000, '0'));
    EXPECT_EQ(f.state.records.Records[4], "MSH|one\rMSH|two\r");
    EXPECT_EQ(f.window->windowTitle(), QStringLiteral("Quillon - Data from ADTIN"));
    EXPECT_EQ(f.window->lblFile->text(), QStringLiteral("Rec 1/4"));
    EXPECT_EQ(f.state.session.CurrentFileName, f.state.folders.TempFolder + QStringLiteral("ADTIN.dat"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QStringLiteral("select MSG_TEXT from OEN_TXLOG where OEN_TXLOG.INTERFACEID = ' 12' AND ( "
                             "TX_KEY >= ' 00128254925509*' ) AND ( TX_KEY <= ' 00128255064800*' )"));
    EXPECT_EQ(Texts(), (QStringList{"Executing the SQL statement ...", "SQL statement has been executed.",
                                    "Dim varArray() As Variant", "varArray() = rs.GetRows", "Erase records",
                                    "ReDim sRecords"}));
    EXPECT_EQ(f.state.settings.Get(kSettingsApp, QStringLiteral("DataSources"), QStringLiteral("1")), db.Dsn());
    EXPECT_EQ(cerner::StoredUserID(f.state.settings, db.Dsn()), QStringLiteral("clerk"));
    EXPECT_EQ(cerner::DesktopCernerPasswords(f.state.settings)->Read(db.Dsn()), QStringLiteral("pw"));
}

TEST_F(CernerLoad, AnInterfaceNameThatClimbsOutNamesAFileInTheTempFolder)
{
    ASSERT_TRUE(db.Run("insert into OEN_PROCINFO values ('../../escaped', 40, 1);"
                       "insert into OEN_PERSONALITY values (40, 'TRANSACTION_LOG', 'Y');"
                       "insert into OEN_TXLOG values (40, ' 004082549288000001', 'MSH|escaped');"))
        << db.Error().toStdString();
    CernerDriver driver({CernerDriver::LogIn(db.Dsn(), false),
                         CernerDriver::Pick(QStringLiteral("40"), {"1/2/2026 00:00:00", "1/2/2026 23:59:59"})});
    f.window->mnuFileOpenCerner_Click();
    EXPECT_TRUE(driver.AllDone());
    ASSERT_EQ(f.state.records.RecordCount, 1);
    EXPECT_EQ(f.window->windowTitle(), QStringLiteral("Quillon - Data from ../../escaped"));
    EXPECT_EQ(f.state.session.CurrentFileName, f.state.folders.TempFolder + QStringLiteral("..-..-escaped.dat"));
    test::ExpectSaveStaysInTheTempFolder(f);
}

TEST_F(CernerLoad, FiveDigitInterfaceAfterAnEmptyRangeWithAnUnstorablePassword)
{
    // The settings form cannot hold this password: it is not kept, and the load goes on.
    const QString password = QString::fromUtf8("\xf0\x9f\x98\x80");
    CernerDriver driver({CernerDriver::LogIn(db.Dsn(), true, password),
                         CernerDriver::Pick(QStringLiteral("12345"), {"1/2/2026 00:00:00", "1/2/2026 07:00:00"}),
                         CernerDriver::Pick(QStringLiteral("12345"), {"1/2/2026 08:00:00", "1/2/2026 09:00:00"})});
    f.window->mnuFileOpenCerner_Click();
    EXPECT_TRUE(driver.AllDone());
    EXPECT_EQ(Texts().count(QStringLiteral("There are no HL7 messages in LABOUT during that time frame.")), 1);
    ASSERT_EQ(f.state.records.RecordCount, 1);
    EXPECT_EQ(f.state.records.Records[1], "MSH|lab");
    EXPECT_EQ(f.window->windowTitle(), QStringLiteral("Quillon - Data from LABOUT"));
    EXPECT_EQ(cerner::StoredUserID(f.state.settings, db.Dsn()), QStringLiteral("clerk"));
}

TEST_F(CernerLoad, EmptyRangeAndFailuresLeaveTheRecords)
{
    // No message in the range: the message, the picker again, then Cancel.
    {
        CernerDriver driver({CernerDriver::LogIn(db.Dsn(), false),
                             CernerDriver::Pick(QStringLiteral("12345"), {"1/2/2026 00:00:00", "1/2/2026 07:00:00"}),
                             CernerDriver::CancelPicker()});
        f.window->mnuFileOpenCerner_Click();
        EXPECT_TRUE(driver.AllDone());
        EXPECT_TRUE(Texts().contains(QStringLiteral("There are no HL7 messages in LABOUT during that time frame.")));
        ExpectUntouched();
        EXPECT_FALSE(cerner::DesktopCernerPasswords(f.state.settings)->Read(db.Dsn()));
    }
    // A data source that does not exist: "Error in Cerner" and the login again.
    {
        f.responder.Clear();
        CernerDriver driver({CernerDriver::LogIn(QStringLiteral("NoSuchSource"), false), CernerDriver::CancelLogin()});
        f.window->mnuFileOpenCerner_Click();
        EXPECT_TRUE(driver.AllDone());
        ASSERT_EQ(f.responder.shown().size(), 1U);
        EXPECT_EQ(f.responder.shown()[0].title, QStringLiteral("Error in Cerner"));
        EXPECT_TRUE(f.responder.shown()[0].text.startsWith(QStringLiteral("Error #")));
        EXPECT_EQ(f.responder.shown()[0].icon, MsgIcon::Critical);
        EXPECT_FALSE(cerner::RememberedDataSources(f.state.settings).contains(QStringLiteral("NoSuchSource")));
        ExpectUntouched();
    }
    // A database without the engine's tables: the query fails and the load ends.
    {
        f.responder.Clear();
        test::SqliteTestDatabase empty(odbc, "create table x (y text);", QStringLiteral("CernerEmpty"));
        ASSERT_TRUE(empty.Ok());
        CernerDriver driver({CernerDriver::LogIn(empty.Dsn(), false)});
        f.window->mnuFileOpenCerner_Click();
        EXPECT_TRUE(driver.AllDone());
        ASSERT_EQ(f.responder.shown().size(), 1U);
        EXPECT_TRUE(f.responder.shown()[0].text.startsWith(QStringLiteral("Error in mnuFileOpenCerner: Err = ")));
        ExpectUntouched();
    }
}

// A LATIN1 PostgreSQL database's messages come as it holds them, not converted to UTF-8.
TEST_F(CernerLoad, MessagesComeAsTheDatabaseHoldsThem)
{
    test::PostgresTestCluster& pg = test::PostgresTestCluster::Instance();
    if (!pg.Running())
        GTEST_SKIP() << pg.Error().toStdString();
    ASSERT_TRUE(pg.RunSql("CREATE ROLE clerk LOGIN PASSWORD 'cerner-pw'; CREATE DATABASE cerner_latin1 OWNER clerk "
                          "ENCODING 'LATIN1' TEMPLATE template0 LOCALE 'C';\n"));
    ASSERT_TRUE(pg.RunSql("SET client_encoding TO 'UTF8'; SET ROLE clerk; CREATE TABLE OEN_PROCINFO AS SELECT 'ADT IN' "
                          "AS PROC_NAME, 12 AS INTERFACEID, 1 AS CONTROLLABLE; CREATE TABLE OEN_PERSONALITY AS SELECT "
                          "12 AS INTERFACEID, 'TRANSACTION_LOG' AS NAME, 'Y' AS VALUE; CREATE TABLE OEN_TXLOG AS "
                          "SELECT 12 AS INTERFACEID, ' 001282549255090001' AS TX_KEY, 'MSH|8859/1' || chr(13) || "
                          "'PID|1||2||Gößner^Zoë' AS MSG_TEXT;\n", "cerner_latin1"));
    CernerDriver driver({CernerDriver::LogIn(pg.AddDataSource(odbc, "CernerLatin1", "cerner_latin1"), false, "cerner-pw"),
                         CernerDriver::Pick("12", {"1/2/2026 00:00:00", "1/2/2026 23:59:59"})});
    f.window->mnuFileOpenCerner_Click();
    ASSERT_EQ(f.state.records.RecordCount, 1);
    EXPECT_EQ(f.state.records.Records[1], "MSH|8859/1\rPID|1||2||G\xF6\xDFner^Zo\xEB");
}

TEST_F(CernerLoad, RefusedLogonSaysSoAndAsksAgain)
{
    test::PostgresTestCluster& pg = test::PostgresTestCluster::Instance();
    if (!pg.Running())
        GTEST_SKIP() << pg.Error().toStdString();
    ASSERT_TRUE(pg.CreateUserAndDatabase(QStringLiteral("cerner_clerk"), QStringLiteral("right"),
                                         QStringLiteral("cerner_db")));
    const QString dsn = pg.AddDataSource(odbc, QStringLiteral("CernerPg"), QStringLiteral("cerner_db"));
    CernerDriver driver({CernerDriver::LogIn(dsn, true), CernerDriver::CancelLogin()});
    f.window->mnuFileOpenCerner_Click();  // logs in as "clerk" with "pw"
    EXPECT_TRUE(driver.AllDone());
    ASSERT_EQ(f.responder.shown().size(), 1U);
    EXPECT_EQ(f.responder.shown()[0].text, QStringLiteral("Either your User ID, Password, or both are invalid."))
        << f.responder.shown()[0].text.toStdString();
    EXPECT_EQ(f.responder.shown()[0].title, QStringLiteral("Logon Denied"));
    EXPECT_TRUE(cerner::RememberedDataSources(f.state.settings).isEmpty());
    EXPECT_FALSE(cerner::DesktopCernerPasswords(f.state.settings)->Read(dsn));
    ExpectUntouched();
}

}  // namespace
}  // namespace quillon
