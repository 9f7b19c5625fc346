// Saved FTP hosts, where their passwords go, the FTP options, list layout and file types, and
// the file types dialog.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <map>
#include <memory>
#include <optional>

#include "app/Settings.h"
#include "ftp/FtpHosts.h"
#include "ftp/FtpNames.h"
#include "ftp/FtpOptions.h"
#include "ftp/frmFTPfileExtensions.h"

namespace quillon {
namespace {

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;

// A keyring that answers as told.
class FakeKeyring : public FtpPasswordStore {
public:
    explicit FakeKeyring(bool works) : works_(works) {}
    bool Write(const QString& host, const QString& password) override
    {
        if (works_)
            held[host] = password;
        return works_;
    }
    std::optional<QString> Read(const QString& host) override
    {
        const auto it = held.find(host);
        return it == held.end() ? std::nullopt : std::optional(it->second);
    }
    void Remove(const QString& host) override { held.erase(host); }
    std::map<QString, QString> held;

private:
    bool works_;
};

class FtpSettingsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    platform::SettingsStore store;
    platform::ScriptedResponder dlg;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(store.Open(dir.filePath(QStringLiteral("Quillon.settings"))));
    }
    QString Stored(const QString& section, const QString& key = QStringLiteral("0")) const
    {
        return store.Get(kSettingsApp, section, key, QStringLiteral("<none>"));
    }
    void Put(const QString& section, const QString& key, const QString& value)
    {
        store.Save(kSettingsApp, section, key, value);
    }
    // The store as another run would read it.
    platform::SettingsStore Reopened() const
    {
        platform::SettingsStore again;
        again.Open(store.Path());
        return again;
    }
    QFile::Permissions FileMode() const { return QFile::permissions(store.Path()); }
};

constexpr QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser
                                          | QFile::WriteUser;

// A name from a remote listing never leads a download out of its folder.
TEST(FtpNames, RemoteNamesStayInTheirFolder)
{
    EXPECT_EQ(MakeValidFileName("a:b*c?d\"e,f<g>h/i\\j|k"), "a-b-c?d-e-f-g-h-i-j-k");
    const QString folder = QDir::cleanPath(QDir::tempPath() + "/dl");
    const struct {
        const char* remote;
        const char* local;  // nullptr: refused
    } cases[] = {
        {"adt.hl7", "adt.hl7"},
        {"../../etc/passwd", "..-..-etc-passwd"},
        {"..\\..\\x", "..-..-x"},
        {"/etc/passwd", "-etc-passwd"},
        {"...", "..."},
        {".hidden", ".hidden"},
        {"", nullptr},
        {".", nullptr},
        {"..", nullptr},
        {"a\nb", nullptr},
    };
    for (const auto& c : cases) {
        const std::optional<QString> path = LocalDownloadPath(folder + "/", QString::fromUtf8(c.remote));
        if (c.local == nullptr) {
            EXPECT_FALSE(path) << c.remote;
        } else {
            ASSERT_TRUE(path) << c.remote;
            EXPECT_EQ(*path, folder + "/" + c.local) << c.remote;
        }
    }
    // Links under the name: followed only when they stay in the folder.
    QTemporaryDir dir;
    const QString in = dir.filePath("in/");
    QDir().mkpath(in);
    QFile outside(dir.filePath("outside.hl7")), inside(in + "inside.hl7");
    ASSERT_TRUE(outside.open(QIODevice::WriteOnly) && inside.open(QIODevice::WriteOnly));
    ASSERT_TRUE(QFile::link(dir.filePath("outside.hl7"), in + "out.hl7"));
    ASSERT_TRUE(QFile::link(in + "inside.hl7", in + "same.hl7"));
    ASSERT_TRUE(QFile::link(dir.filePath("none"), in + "dangling.hl7"));
    EXPECT_FALSE(LocalDownloadPath(in, "out.hl7"));
    EXPECT_FALSE(LocalDownloadPath(in, "dangling.hl7"));
    EXPECT_TRUE(LocalDownloadPath(in, "same.hl7"));
    EXPECT_TRUE(LocalDownloadPath(in, "inside.hl7"));
}

TEST_F(FtpSettingsTest, HostsTakeTheFirstFreeOfTenSlots)
{
    struct Case {
        const char* name;
        QStringList before;  // keys "1" to "10" before
        QString host;
        QStringList slotsAfter;
        QStringList listAfter;  // the host box's list after loading and saving
    };
    QStringList ten;
    for (int i = 1; i <= 10; ++i)
        ten << QStringLiteral("h%1").arg(i, 2, 10, QLatin1Char('0'));
    QStringList sortedTen = ten;
    const Case cases[] = {
        {"free slot reused", {"zeta", "", "alpha"}, "Mid", {"zeta", "Mid", "alpha"},
         {"alpha", "Mid", "zeta"}},
        {"known host", {"ftp.a", "", "ftp.b"}, "ftp.b", {"ftp.a", "", "ftp.b"}, {"ftp.a", "ftp.b"}},
        {"letter case makes a new host", {"ftp.a"}, "FTP.A", {"ftp.a", "FTP.A"},
         {"FTP.A", "ftp.a"}},
        {"eleventh refused", ten, "new.host", ten, sortedTen},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        store.DeleteSection(kSettingsApp, QStringLiteral("HostNames"));
        for (int i = 0; i < c.before.size(); ++i)
            if (!c.before[i].isEmpty())
                Put(QStringLiteral("HostNames"), QString::number(i + 1), c.before[i]);
        FtpPasswords passwords(store, nullptr);
        FtpHosts hosts(store, passwords);
        FtpLoginControls controls;
        hosts.LoadFTPHostNames(controls);
        controls.HostText = c.host;
        controls.UserName = QStringLiteral("me");
        hosts.cmdCommand_Click(controls, 0, dlg);

        QStringList expected = c.slotsAfter;
        while (expected.size() < 10)
            expected << QString();
        EXPECT_EQ(hosts.Slots(), expected);
        EXPECT_EQ(controls.HostList, c.listAfter);
        // A host without a slot still has its values.
        EXPECT_EQ(Stored(c.host + QStringLiteral(":UserName")), QStringLiteral("me"));
    }
    EXPECT_TRUE(dlg.shown().empty());
}

TEST_F(FtpSettingsTest, HostValuesComeBackAndOddHostTextsKeepToTheirSections)
{
    FtpPasswords passwords(store, nullptr);
    FtpHosts hosts(store, passwords);
    // Texts the settings file treats specially, saved beside a plain host.
    const QStringList texts = {"plain.host:2121", "[HostNames]", "a\\b=c;d]\n[x", "%41<>"};
    for (int i = 0; i < texts.size(); ++i) {
        FtpLoginControls c;
        c.HostText = texts[i];
        c.UserName = QStringLiteral("user ") + texts[i];
        c.Password = QStringLiteral("pw=%1;[]").arg(i);
        c.InitialDirectory = QStringLiteral("/in/%1").arg(i);
        c.Passive = i % 2;
        c.Disconnect = 1 - i % 2;
        c.AutoConnectToHost = i % 2;
        c.SavePassword = 1;
        hosts.SaveFTPHostInformation(c);
    }
    platform::SettingsStore again = Reopened();
    FtpPasswords againPasswords(again, nullptr);
    FtpHosts reread(again, againPasswords);
    EXPECT_EQ(reread.Slots().mid(0, 4), texts);
    for (int i = 0; i < texts.size(); ++i) {
        SCOPED_TRACE(texts[i].toStdString());
        FtpLoginControls c;
        reread.LoadUserName(c, texts[i]);
        EXPECT_EQ(c.UserName, QStringLiteral("user ") + texts[i]);
        EXPECT_EQ(c.Password, QStringLiteral("pw=%1;[]").arg(i));
        EXPECT_EQ(c.InitialDirectory, QStringLiteral("/in/%1").arg(i));
        EXPECT_EQ((std::array{c.Passive, c.Disconnect, c.AutoConnectToHost, c.SavePassword}),
                  (std::array{i % 2, 1 - i % 2, i % 2, 1}));
    }

    // Nothing stored, or a mark that is no 0/1: empty boxes and unticked options.
    Put(QStringLiteral("odd:PassiveFTP"), QStringLiteral("0"), QStringLiteral("yes"));
    FtpLoginControls blank;
    reread.LoadUserName(blank, QStringLiteral("odd"));
    EXPECT_TRUE(blank.UserName.isEmpty() && blank.Password.isEmpty());
    EXPECT_EQ((std::array{blank.Passive, blank.Disconnect, blank.AutoConnectToHost,
                          blank.SavePassword}),
              (std::array{0, 0, 0, 0}));
}

TEST_F(FtpSettingsTest, PasswordsAreKeptOnlyWhenTickedByEitherSave)
{
    struct Case {
        const char* name;
        bool buttonSave;  // the "&Save" button, else the save of the directory pop-up
        int ticked;
        bool keyringWorks;
        bool inFile, inKeyring;
    };
    const Case cases[] = {
        {"button, ticked, no keyring", true, 1, false, true, false},
        {"button, unticked", true, 0, false, false, false},
        {"full save, ticked, no keyring", false, 1, false, true, false},
        {"full save, unticked", false, 0, true, false, false},
        {"button, ticked, keyring", true, 1, true, false, true},
        {"full save, ticked, keyring", false, 1, true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(QFile::setPermissions(store.Path(), QFile::ReadOwner | QFile::WriteOwner
                                                            | QFile::ReadGroup | QFile::ReadOther)
                    || !QFile::exists(store.Path()));
        auto keyring = std::make_unique<FakeKeyring>(c.keyringWorks);
        FakeKeyring& held = *keyring;
        FtpPasswords passwords(store, std::move(keyring));
        FtpHosts hosts(store, passwords);
        // A password saved earlier in the file goes when the new save keeps none there.
        SettingsPasswordStore(store).Write(QStringLiteral("h"), QStringLiteral("old"));

        FtpLoginControls s;
        s.HostText = QStringLiteral("h");
        s.Password = QStringLiteral("secret");
        s.SavePassword = c.ticked;
        s.Directory = QStringLiteral("/d");
        if (c.buttonSave)
            hosts.cmdCommand_Click(s, 0, dlg);
        else
            hosts.mnuSetInitialDirectory_Click(s);

        const QString inFile = Reopened().Get(kSettingsApp, QStringLiteral("h:Password"),
                                              QStringLiteral("0"), QStringLiteral("<none>"));
        EXPECT_EQ(inFile, c.inFile ? QStringLiteral("secret") : QStringLiteral("<none>"));
        EXPECT_EQ(held.held.count(QStringLiteral("h")), c.inKeyring ? 1u : 0u);
        if (c.inFile) {
            EXPECT_EQ(FileMode(), kOwnerOnly);
        }
        FtpLoginControls back;
        hosts.LoadUserName(back, QStringLiteral("h"));
        EXPECT_EQ(back.Password, c.ticked ? QStringLiteral("secret") : QString());
        // Both saves keep the mark the password depends on.
        EXPECT_EQ(Stored(QStringLiteral("h:SaveFTPServerPassword")), QString::number(c.ticked));
        EXPECT_EQ(back.SavePassword, c.ticked);
        store.DeleteSection(kSettingsApp, QStringLiteral("h:SaveFTPServerPassword"));
    }
    // Later writes of other settings keep the narrowed mode.
    Put(QStringLiteral("Other"), QStringLiteral("0"), QStringLiteral("x"));
    EXPECT_EQ(FileMode(), kOwnerOnly);
}

TEST_F(FtpSettingsTest, WithoutAKeyringServiceThePasswordGoesToTheFile)
{
    // No session bus: the keyring cannot answer.
    const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/quillon-test-bus");
    const std::unique_ptr<FtpPasswordStore> passwords = DesktopFtpPasswords(store);
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(passwords->Write(QStringLiteral("k.host"), QStringLiteral("pw")));
    EXPECT_EQ(passwords->Read(QStringLiteral("k.host")), QStringLiteral("pw"));
    EXPECT_EQ(Stored(QStringLiteral("k.host:Password")), QStringLiteral("pw"));
    EXPECT_EQ(FileMode(), kOwnerOnly);
    passwords->Remove(QStringLiteral("k.host"));
    EXPECT_EQ(passwords->Read(QStringLiteral("k.host")), std::nullopt);
    EXPECT_LT(clock.elapsed(), 8000);
    if (bus.isNull())
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    else
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
}

TEST_F(FtpSettingsTest, DeleteAsksThenRemovesTheHostButItsPasswordMark)
{
    const QStringList suffixes = {":UserName", ":Password", ":InitialDirectory", ":PassiveFTP",
                                  ":Disconnect", ":AutoConnectToHost"};
    struct Case {
        const char* name;
        QString hostText;
        std::optional<MsgAnswer> answer;  // nothing: no question
        bool removed;
    };
    const Case cases[] = {
        {"not in the list", QStringLiteral("elsewhere"), std::nullopt, false},
        {"No", QStringLiteral("[b]"), MsgAnswer::No, false},
        {"Yes", QStringLiteral("[b]"), MsgAnswer::Yes, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dlg.Clear();
        store.DeleteSection(kSettingsApp, QStringLiteral("HostNames"));
        auto keyring = std::make_unique<FakeKeyring>(true);
        FakeKeyring& held = *keyring;
        FtpPasswords passwords(store, std::move(keyring));
        FtpHosts hosts(store, passwords);
        FtpLoginControls s;
        for (const char* host : {"a", "[b]"}) {
            s.HostText = QLatin1String(host);
            s.UserName = s.Password = s.InitialDirectory = QStringLiteral("v");
            hosts.SaveFTPHostInformation(s);
        }
        // A leftover password in the file goes too.
        SettingsPasswordStore(store).Write(QStringLiteral("[b]"), QStringLiteral("old"));
        if (c.answer)
            dlg.QueueAnswer(*c.answer);
        s.HostText = c.hostText;
        hosts.cmdCommand_Click(s, 1, dlg);

        ASSERT_EQ(dlg.shown().size(), c.answer ? 1u : 0u);
        if (c.answer) {
            EXPECT_EQ(dlg.shown()[0].text,
                      QStringLiteral("OK to delete FTP server configuration for [b]?"));
            EXPECT_EQ(dlg.shown()[0].title, QStringLiteral("Delete FTP Server Configuration"));
            EXPECT_EQ(dlg.shown()[0].buttons, MsgButtons::YesNo);
            EXPECT_EQ(dlg.shown()[0].icon, MsgIcon::Question);
        }
        EXPECT_EQ(s.HostList, c.removed ? QStringList{"a"} : (QStringList{"[b]", "a"}));
        EXPECT_EQ(hosts.Slots().mid(0, 2),
                  c.removed ? (QStringList{"a", ""}) : (QStringList{"a", "[b]"}));
        for (const QString& suffix : suffixes)
            EXPECT_EQ(Stored(QStringLiteral("[b]") + suffix) == QStringLiteral("<none>"), c.removed)
                << suffix.toStdString();
        EXPECT_EQ(held.held.count(QStringLiteral("[b]")), c.removed ? 0u : 1u);
        EXPECT_EQ(Stored(QStringLiteral("[b]:SaveFTPServerPassword")), QStringLiteral("1"));
        EXPECT_EQ(Stored(QStringLiteral("a:UserName")), QStringLiteral("v"));
        EXPECT_EQ(s.HostText.isEmpty() && s.UserName.isEmpty() && s.Password.isEmpty()
                      && s.InitialDirectory.isEmpty(),
                  c.removed);
    }
}

TEST_F(FtpSettingsTest, InitialDirectoryCommands)
{
    enum Command { Button, PopUp, LeaveBox };
    struct Case {
        const char* name;
        Command command;
        QString host, shown, typed;
        QString boxAfter, storedAfter;  // "<none>": not written
        bool registered;
    };
    const QString none = QStringLiteral("<none>");
    const QString noDir = FtpLoginControls::kNoDirectory;
    const Case cases[] = {
        {"button, nothing shown", Button, "h", noDir, "/t", "/t", none, false},
        {"button", Button, "h", "/pub/in", "/t", "/pub/in", "/pub/in", false},
        {"button, empty host", Button, "", "/pub/in", "/t", "/pub/in", "/pub/in", false},
        {"pop-up saves the host", PopUp, "h", "/pub/in", "/t", "/pub/in", "/pub/in", true},
        {"pop-up, nothing shown", PopUp, "h", noDir, "/t", "/t", none, false},
        {"leaving the box", LeaveBox, "h", noDir, "/t", "/t", "/t", false},
        {"leaving the box, empty host", LeaveBox, "", noDir, "/t", "/t", none, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        store.DeleteSection(kSettingsApp, QStringLiteral("HostNames"));
        store.DeleteSection(kSettingsApp, c.host + QStringLiteral(":InitialDirectory"));
        FtpPasswords passwords(store, nullptr);
        FtpHosts hosts(store, passwords);
        FtpLoginControls s;
        s.HostText = c.host;
        s.Directory = c.shown;
        s.InitialDirectory = c.typed;
        if (c.command == Button)
            hosts.cmdSetInitialDir_Click(s);
        else if (c.command == PopUp)
            hosts.mnuSetInitialDirectory_Click(s);
        else
            hosts.txtInitialDirectory_LostFocus(s);
        EXPECT_EQ(s.InitialDirectory, c.boxAfter);
        EXPECT_EQ(Stored(c.host + QStringLiteral(":InitialDirectory")), c.storedAfter);
        EXPECT_EQ(hosts.Slots().first() == c.host && !c.host.isEmpty(), c.registered);
    }
}

TEST_F(FtpSettingsTest, TransferOptionsAndColumnLayoutRoundTrip)
{
    const FtpColumns current{{{1, 373}, {2, 100}, {3, 153}}};
    // An empty store: ASCII and overwrite, the columns as they are.
    FtpTransferOptions options = LoadTransferOptions(store);
    EXPECT_EQ(options, FtpTransferOptions{});
    EXPECT_EQ(options.IfFileExistsCaption(), QStringLiteral("If File Exists [overwrite]"));
    EXPECT_EQ(LoadColumnLayout(store, current), current);

    options.ChooseBinaryMode();
    options.ChooseAppend();
    const FtpColumns moved{{{3, 410.5}, {1, 90}, {2, 153.25}}};
    SaveDefaults(store, moved, options);
    platform::SettingsStore again = Reopened();
    EXPECT_EQ(again.Get(kSettingsApp, QStringLiteral("DownloadUsingBinaryMode"), "0"),
              QStringLiteral("True"));
    EXPECT_EQ(again.Get(kSettingsApp, QStringLiteral("IfFileExistsOverwrite"), "0"),
              QStringLiteral("False"));
    EXPECT_EQ(again.Get(kSettingsApp, QStringLiteral("FTP_Settings"), "ColWidth1"),
              QStringLiteral("410.5"));
    const FtpTransferOptions back = LoadTransferOptions(again);
    EXPECT_EQ(back, options);
    EXPECT_EQ(back.IfFileExistsCaption(), QStringLiteral("If File Exists [append]"));
    EXPECT_EQ(LoadColumnLayout(again, current), moved);

    // Unreadable values take the defaults; positions that are not one each of 1 to 3 are
    // dropped together.
    struct Bad {
        const char* key;
        const char* value;
    };
    for (const Bad& b : {Bad{"Col1", "2"}, Bad{"Col2", "x"}, Bad{"Col3", "7"}}) {
        SCOPED_TRACE(b.key);
        platform::SettingsStore bad = Reopened();
        bad.Save(kSettingsApp, QStringLiteral("FTP_Settings"), QLatin1String(b.key),
                 QLatin1String(b.value));
        bad.Save(kSettingsApp, QStringLiteral("FTP_Settings"), QStringLiteral("ColWidth2"),
                 QStringLiteral("wide"));
        bad.Save(kSettingsApp, QStringLiteral("IfFileExistsAppend"), QStringLiteral("0"),
                 QStringLiteral("maybe"));
        const FtpColumns got = LoadColumnLayout(bad, current);
        EXPECT_EQ(got, (FtpColumns{{{1, 410.5}, {2, 100}, {3, 153.25}}}));
        EXPECT_FALSE(LoadTransferOptions(bad).IfFileExistsAppend);
    }
}

TEST_F(FtpSettingsTest, FileTypesLoadWithTheirDefaults)
{
    struct Case {
        const char* name;
        QStringList stored;  // keys 0 to 9; "" written empty
        QString storedDefault;
        QStringList box;
        QString defaultAfter;
        QStringList storedAfter;
    };
    const QStringList defaults = {".*", ".dat", ".txt", "", "", "", "", "", "", ""};
    const Case cases[] = {
        {"empty store", {}, "", {".*", ".dat", ".txt"}, ".dat", defaults},
        {"types without a default", {".log", ".hl7"}, "", {".*", ".dat", ".txt"}, ".dat", defaults},
        {"stops at the first gap, in text order", {".txt", ".B", "", ".c"}, ".c",
         {".B", ".txt"}, ".c", {".txt", ".B", "", ".c", "<none>", "<none>", "<none>", "<none>",
                                "<none>", "<none>"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        store.DeleteSection(kSettingsApp, QStringLiteral("DefaultFTPExtensions"));
        store.DeleteSection(kSettingsApp, QStringLiteral("DefaultFTPExtension"));
        for (int i = 0; i < c.stored.size(); ++i)
            Put(QStringLiteral("DefaultFTPExtensions"), QString::number(i), c.stored[i]);
        if (!c.storedDefault.isEmpty())
            Put(QStringLiteral("DefaultFTPExtension"), QStringLiteral("0"), c.storedDefault);
        FtpFileTypes types;
        EXPECT_EQ(LoadFTPExtensions(store, types), c.box);
        EXPECT_EQ(types.FtpDefaultExtension, c.defaultAfter);
        QStringList after;
        for (int i = 0; i < 10; ++i)
            after << Stored(QStringLiteral("DefaultFTPExtensions"), QString::number(i));
        EXPECT_EQ(after, c.storedAfter);
        EXPECT_EQ(Stored(QStringLiteral("DefaultFTPExtension")), c.defaultAfter);
    }
}

// The dialog, driven through its handlers.
class FtpTypesDialog : public FtpSettingsTest {
protected:
    FtpFileTypes types;
    std::unique_ptr<frmFTPfileExtensions> Open(const QStringList& entries, const QString& def)
    {
        for (int i = 0; i < 10; ++i)
            types.FtpExtensions[i] = entries.value(i);
        types.FtpDefaultExtension = def;
        auto w = std::make_unique<frmFTPfileExtensions>(types, store, dlg);
        w->show();
        return w;
    }
    static QStringList Rows(const frmFTPfileExtensions& w)
    {
        QStringList rows;
        for (int i = 0; i < w.lstExtensions->count(); ++i)
            rows << w.lstExtensions->item(i)->text();
        return rows;
    }
};

TEST_F(FtpTypesDialog, OpensWithTheTypesOrTheSuggestedOnesAndCancelWritesNothing)
{
    auto w = Open({}, QString());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("FTP File Extensions"));
    EXPECT_EQ(Rows(*w), (QStringList{".*", ".dat", ".txt"}));
    EXPECT_EQ(w->lblDefaultExtension->text(), QStringLiteral(".dat"));
    EXPECT_TRUE(w->cmdDelete->isEnabled() && w->cmdSetDefault->isEnabled());
    EXPECT_TRUE(
        w->lblDesc->text().contains(QStringLiteral("filename listbox.  Examples are .txt")));
    w->cmdCancel->click();
    EXPECT_EQ(w->result(), QDialog::Rejected);
    EXPECT_TRUE(types.FtpDefaultExtension.isEmpty());
    EXPECT_FALSE(QFile::exists(store.Path()));

    // Gaps are skipped; nothing is selected; a double click sets the default.
    w = Open({".a", "", ".b"}, QStringLiteral(".zz"));
    EXPECT_EQ(Rows(*w), (QStringList{".a", ".b"}));
    EXPECT_EQ(w->lblDefaultExtension->text(), QStringLiteral(".zz"));
    EXPECT_FALSE(w->cmdDelete->isEnabled() || w->cmdSetDefault->isEnabled());
    w->lstExtensions->setCurrentRow(1);
    emit w->lstExtensions->itemDoubleClicked(w->lstExtensions->item(1));
    EXPECT_EQ(w->lblDefaultExtension->text(), QStringLiteral(".b"));
}

TEST_F(FtpTypesDialog, AddRefusesAnEleventhAndExactTwins)
{
    const QString tenOnly = QStringLiteral(
        "Only ten extensions are allowed in the list.  Please remove an extension before adding "
        "another.");
    const QString twin =
        QStringLiteral("That extension already exists in the file extension list.");
    QStringList ten;
    for (int i = 0; i < 10; ++i)
        ten << QStringLiteral(".%1").arg(i);
    struct Case {
        QStringList list;
        std::optional<QString> typed;  // nothing: Cancel
        QString message, title;
        MsgIcon icon;
        QStringList after;
    };
    const Case cases[] = {
        {{".dat"}, ".DAT", {}, {}, MsgIcon::None, {".dat", ".DAT"}},
        {{".dat"}, "log", {}, {}, MsgIcon::None, {".dat", "log"}},
        {{".dat"}, ".dat", twin, "Invalid Extension", MsgIcon::Information, {".dat"}},
        {{".dat"}, std::nullopt, {}, {}, MsgIcon::None, {".dat"}},
        {ten, ".x", tenOnly, "Can't Add Extension", MsgIcon::Exclamation, ten},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.value_or(QStringLiteral("<cancel>")).toStdString());
        dlg.Clear();
        auto w = Open(c.list, c.list.first());
        dlg.QueueInput(c.typed);
        w->cmdAdd->click();
        EXPECT_EQ(Rows(*w), c.after);
        std::vector<platform::ScriptedResponder::Shown> boxes = dlg.shown();
        if (c.list.size() < 10) {
            ASSERT_FALSE(boxes.empty());
            EXPECT_EQ(boxes.front().text,
                      QStringLiteral("Enter new file extension for FTP files:"));
            EXPECT_EQ(boxes.front().title, QStringLiteral("Add Extension"));
            boxes.erase(boxes.begin());
        }
        ASSERT_EQ(boxes.size(), c.message.isEmpty() ? 0u : 1u);
        if (!boxes.empty()) {
            EXPECT_EQ(boxes[0].text, c.message);
            EXPECT_EQ(boxes[0].title, c.title);
            EXPECT_EQ(boxes[0].icon, c.icon);
        }
    }
}

TEST_F(FtpTypesDialog, DeleteMovesTheSelectionAndTheDefault)
{
    struct Case {
        QStringList list;
        QString def;
        int row;
        QStringList after;
        int selectedAfter;  // -1: none, buttons disabled
        QString defAfter;
    };
    const Case cases[] = {
        {{".*", ".dat", ".txt"}, ".dat", 1, {".*", ".txt"}, 1, ".*"},
        {{".dat", ".txt"}, ".dat", 0, {".txt"}, 0, ".*"},
        {{".*", ".dat", ".txt"}, ".dat", 2, {".*", ".dat"}, 1, ".dat"},
        {{".log"}, ".dat", 0, {}, -1, ".dat"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list.join(',').toStdString() + " row " + std::to_string(c.row));
        auto w = Open(c.list, c.def);
        w->lstExtensions->setCurrentRow(c.row);
        w->cmdDelete->click();
        EXPECT_EQ(Rows(*w), c.after);
        EXPECT_EQ(w->lstExtensions->selectedItems().isEmpty() ? -1 : w->lstExtensions->currentRow(),
                  c.selectedAfter);
        EXPECT_EQ(w->cmdDelete->isEnabled(), c.selectedAfter >= 0);
        EXPECT_EQ(w->cmdSetDefault->isEnabled(), c.selectedAfter >= 0);
        EXPECT_EQ(w->lblDefaultExtension->text(), c.defAfter);
    }
}

TEST_F(FtpTypesDialog, OkWritesTheListAndDefault)
{
    auto w = Open({".*", ".dat", ".gone"}, QStringLiteral(".dat"));
    w->lstExtensions->setCurrentRow(2);
    w->cmdDelete->click();
    w->cmdOK->click();
    EXPECT_EQ(w->result(), QDialog::Accepted);
    platform::SettingsStore again = Reopened();
    QStringList stored;
    for (int i = 0; i < 10; ++i)
        stored << again.Get(kSettingsApp, QStringLiteral("DefaultFTPExtensions"),
                            QString::number(i), QStringLiteral("<none>"));
    EXPECT_EQ(stored, (QStringList{".*", ".dat", "", "", "", "", "", "", "", ""}));
    EXPECT_EQ(again.Get(kSettingsApp, QStringLiteral("DefaultFTPExtension"), "0"),
              QStringLiteral(".dat"));
    EXPECT_EQ(types.FtpExtensions[1], QStringLiteral(".dat"));
    EXPECT_TRUE(types.FtpExtensions[2].isEmpty());
    FtpFileTypes reread;
    EXPECT_EQ(LoadFTPExtensions(again, reread), (QStringList{".*", ".dat"}));

    // With no default, OK sets only the (empty) default and writes nothing.
    QFile::remove(store.Path());
    store.Open(store.Path());
    w = Open({".x"}, QString());
    w->cmdOK->click();
    EXPECT_FALSE(QFile::exists(store.Path()));
    EXPECT_EQ(types.FtpExtensions[0], QStringLiteral(".x"));
}

}  // namespace
}  // namespace quillon
