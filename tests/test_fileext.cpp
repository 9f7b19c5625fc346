// The File Extensions and Locations window: the pattern list and its default, the limits on
// adding, deleting, the folder choice, and what OK and Cancel leave behind.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>

#include "TestSupport.h"
#include "app/Settings.h"
#include "files/frmFileExtAndLocations.h"

namespace quillon {
namespace {

using W = frmFileExtAndLocations;
using platform::MsgIcon;
using Shown = platform::ScriptedResponder::Shown;

const QString kTenOnly = QStringLiteral(
    "Only ten extensions are allowed in the list.  Please remove an extension before adding "
    "another.");
const QString kTwin = QStringLiteral("That extension already exists in the file extension list.");

class FileExtWindow : public ::testing::Test {
protected:
    QTemporaryDir dir;
    AppState st;
    platform::ScriptedResponder dlg;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        st.folders.DataFolder = dir.path() + QStringLiteral("/Data/");
        ASSERT_TRUE(QDir().mkpath(st.folders.DataFolder + QStringLiteral("HL7")));
        st.options.LastFileOpenPath = QStringLiteral("/open/");
        st.options.LastFileSavePath = QStringLiteral("/save/");
    }
    void Use(const QStringList& extensions, const QString& defaultExtension)
    {
        for (int i = 0; i < 10; ++i)
            st.options.DefaultExtensions[i] = extensions.value(i);
        st.options.DefaultExtension = defaultExtension;
    }
    std::unique_ptr<W> Open()
    {
        auto w = std::make_unique<W>(st, dlg, nullptr);
        w->show();
        return w;
    }
    static QStringList Rows(const W& w)
    {
        QStringList rows;
        for (int i = 0; i < w.lstExtensions->count(); ++i)
            rows << w.lstExtensions->item(i)->text();
        return rows;
    }
    // Keys 0 to 9 of the stored list ("<none>" for a key never written).
    QStringList Stored() const
    {
        QStringList keys;
        for (int i = 0; i < 10; ++i)
            keys << st.settings.Get(kSettingsApp, QStringLiteral("DefaultExtensions"),
                                    QString::number(i), QStringLiteral("<none>"));
        return keys;
    }
    QString StoredSetting(const QString& section) const
    {
        return st.settings.Get(kSettingsApp, section, QStringLiteral("0"), QStringLiteral("<none>"));
    }
};

TEST_F(FileExtWindow, FirstOpenOffersTheThreeStandardPatterns)
{
    auto w = Open();
    EXPECT_EQ(w->windowTitle(), QStringLiteral("File Extensions and Locations"));
    EXPECT_EQ(Rows(*w), (QStringList{"*.*", "*.dat", "*.txt"}));
    EXPECT_EQ(w->lstExtensions->currentRow(), 1);
    EXPECT_TRUE(w->lstExtensions->item(1)->isSelected());
    EXPECT_EQ(w->lblDefaultExtension->text(), QStringLiteral("*.dat"));
    EXPECT_TRUE(w->cmdDelete->isEnabled());
    EXPECT_TRUE(w->cmdSetDefault->isEnabled());
    // The tree moved to the data folder while opening, which counts as a change.
    EXPECT_EQ(w->lblDefaultDirectory->text(), st.folders.DataFolder);
    EXPECT_EQ(w->Dir1Path() + QStringLiteral("/"), st.folders.DataFolder);
    EXPECT_TRUE(w->cmdChangeDir->isEnabled());
    EXPECT_TRUE(w->lblDesc->text().startsWith(
        QStringLiteral("The 'Files of Type' list shows the various file extensions that you can "
                       "choose from when opening")));
    EXPECT_TRUE(w->lblDesc->text().contains(QStringLiteral("EATER*.dat.  You can manually")));
    // Nothing is asked, and nothing taken over before OK.
    EXPECT_TRUE(dlg.shown().empty());
    EXPECT_TRUE(st.options.DefaultExtension.isEmpty());
    EXPECT_EQ(Stored().first(), QStringLiteral("<none>"));
}

TEST_F(FileExtWindow, OpensWithTheStoredPatternsAndNothingSelected)
{
    Use({"*.hl7", "", "*.X", ""}, QStringLiteral("*.X"));
    auto w = Open();
    EXPECT_EQ(Rows(*w), (QStringList{"*.hl7", "*.X"}));
    EXPECT_EQ(w->lblDefaultExtension->text(), QStringLiteral("*.X"));
    EXPECT_FALSE(w->cmdDelete->isEnabled());
    EXPECT_FALSE(w->cmdSetDefault->isEnabled());
    // A double-click makes the row the default.
    QListWidgetItem* first = w->lstExtensions->item(0);
    w->lstExtensions->setCurrentItem(first);
    EXPECT_TRUE(w->cmdDelete->isEnabled() && w->cmdSetDefault->isEnabled());
    emit w->lstExtensions->itemDoubleClicked(first);
    EXPECT_EQ(w->lblDefaultExtension->text(), QStringLiteral("*.hl7"));
}

TEST_F(FileExtWindow, AddingRefusesAnEleventhAndExactTwins)
{
    const QStringList ten = {"*.0", "*.1", "*.2", "*.3", "*.4", "*.5", "*.6", "*.7", "*.8", "*.9"};
    struct Case {
        QStringList list;
        std::optional<QString> typed;  // nothing: cancelled
        QString message, title;        // the box shown afterwards, if any
        MsgIcon icon;
        QStringList after;
    };
    const Case cases[] = {
        {{"*.dat"}, QStringLiteral("*.DAT"), {}, {}, MsgIcon::None, {"*.dat", "*.DAT"}},
        {{"*.dat"}, QStringLiteral("EATER*.dat"), {}, {}, MsgIcon::None,
         {"*.dat", "EATER*.dat"}},
        {{"*.dat"}, QStringLiteral("*.dat"), kTwin, QStringLiteral("Invalid Extension"),
         MsgIcon::Information, {"*.dat"}},
        {{"*.dat"}, QString(), {}, {}, MsgIcon::None, {"*.dat"}},
        {{"*.dat"}, std::nullopt, {}, {}, MsgIcon::None, {"*.dat"}},
        {ten.mid(0, 9), QStringLiteral("*.x"), {}, {}, MsgIcon::None, ten.mid(0, 9) << "*.x"},
        {ten, QStringLiteral("*.x"), kTenOnly, QStringLiteral("Can't Add Extension"),
         MsgIcon::Exclamation, ten},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.typed.value_or(QStringLiteral("<cancel>")) + " onto " + c.list.join(','))
                         .toStdString());
        Use(c.list, c.list.first());
        dlg.Clear();
        dlg.QueueInput(c.typed);
        auto w = Open();
        w->cmdAdd->click();
        EXPECT_EQ(Rows(*w), c.after);
        // A full list is refused before anything is asked.
        const bool asked = c.list.size() < 10;
        ASSERT_EQ(dlg.shown().size(), size_t(asked) + size_t(!c.message.isEmpty()));
        if (asked) {
            const Shown& input = dlg.shown().front();
            EXPECT_EQ(input.kind, Shown::Kind::Input);
            EXPECT_EQ(input.text, QStringLiteral("Enter new file extension for HL7 data files:"));
            EXPECT_EQ(input.title, QStringLiteral("Add Extension"));
            EXPECT_TRUE(input.defaultText.isEmpty());
        }
        if (!c.message.isEmpty()) {
            const Shown& box = dlg.shown().back();
            EXPECT_EQ(box.kind, Shown::Kind::Message);
            EXPECT_EQ(box.text, c.message);
            EXPECT_EQ(box.title, c.title);
            EXPECT_EQ(box.icon, c.icon);
        }
    }
}

TEST_F(FileExtWindow, DeletingSelectsTheNeighbourAndResetsARemovedDefault)
{
    struct Case {
        QString shownDefault;
        int row;
        QStringList after;
        int selectedAfter;
        QString defaultAfter;
    };
    const Case cases[] = {
        {"*.b", 1, {"*.a", "*.c"}, 1, "*.*"},   // the default goes, "*.*" though not listed
        {"*.b", 2, {"*.a", "*.b"}, 1, "*.b"},   // the last row: the new last is selected
        {"*.c", 0, {"*.b", "*.c"}, 0, "*.c"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        Use({"*.a", "*.b", "*.c"}, c.shownDefault);
        auto w = Open();
        w->lstExtensions->setCurrentRow(c.row);
        w->cmdDelete->click();
        EXPECT_EQ(Rows(*w), c.after);
        EXPECT_EQ(w->lstExtensions->currentRow(), c.selectedAfter);
        EXPECT_TRUE(w->lstExtensions->item(c.selectedAfter)->isSelected());
        EXPECT_EQ(w->lblDefaultExtension->text(), c.defaultAfter);
    }

    Use({"*.only"}, QStringLiteral("*.only"));
    auto w = Open();
    w->lstExtensions->setCurrentRow(0);
    w->cmdDelete->click();
    EXPECT_EQ(w->lstExtensions->count(), 0);
    EXPECT_FALSE(w->cmdDelete->isEnabled());
    EXPECT_FALSE(w->cmdSetDefault->isEnabled());
    EXPECT_EQ(w->lblDefaultExtension->text(), QStringLiteral("*.*"));
}

TEST_F(FileExtWindow, OkStoresTheListFromKeyZeroAndEmptiesTheRest)
{
    for (int i = 0; i < 10; ++i)
        Settings(st.settings).SetDefaultExtensions(i, QStringLiteral("stale"));
    auto w = Open();  // "*.*", "*.dat" (selected), "*.txt"
    w->lstExtensions->setCurrentRow(0);
    w->cmdDelete->click();
    w->cmdOK->click();
    EXPECT_EQ(w->result(), QDialog::Accepted);
    const QStringList expected = {"*.dat", "*.txt", "", "", "", "", "", "", "", ""};
    EXPECT_EQ(Stored(), expected);
    EXPECT_EQ(QStringList(st.options.DefaultExtensions.begin(), st.options.DefaultExtensions.end()),
              expected);
    EXPECT_EQ(Settings(st.settings).DefaultExtension(), QStringLiteral("*.dat"));
    EXPECT_EQ(st.options.DefaultExtension, QStringLiteral("*.dat"));

    // Without a default pattern the list is neither stored nor taken over.
    st.settings = platform::SettingsStore();
    Use({"*.a", "*.b"}, QString());
    w = Open();
    w->lstExtensions->setCurrentRow(0);
    w->cmdDelete->click();
    w->cmdOK->click();
    EXPECT_EQ(Stored(), QStringList(10, QStringLiteral("<none>")));
    EXPECT_EQ(StoredSetting(QStringLiteral("DefaultExtension")), QStringLiteral("<none>"));
    EXPECT_EQ(st.options.DefaultExtensions[0], QStringLiteral("*.a"));
    EXPECT_TRUE(st.options.DefaultExtension.isEmpty());
}

TEST_F(FileExtWindow, FolderChoiceTakesEffectThroughSetAndOk)
{
    const QString data = st.folders.DataFolder, chosen = data + QStringLiteral("HL7/");
    struct Case {
        bool setAsDefault;
        QString folder, lastPaths;
    };
    const Case cases[] = {
        {true, chosen, chosen},
        {false, data, "/open/"},  // chosen in the tree only: the folder stays and is stored
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setAsDefault);
        st.folders.DataFolder = data;
        st.options.LastFileOpenPath = QStringLiteral("/open/");
        st.options.LastFileSavePath = QStringLiteral("/open/");
        st.settings = platform::SettingsStore();
        auto w = Open();
        ASSERT_TRUE(w->SelectFolder(chosen));
        if (c.setAsDefault) {
            w->cmdChangeDir->click();
            EXPECT_EQ(w->lblDefaultDirectory->text(), chosen);
        }
        w->cmdOK->click();
        EXPECT_EQ(st.folders.DataFolder, c.folder);
        EXPECT_EQ(st.options.LastFileOpenPath, c.lastPaths);
        EXPECT_EQ(st.options.LastFileSavePath, c.lastPaths);
        EXPECT_EQ(StoredSetting(QStringLiteral("DefaultDataDir")), c.folder);
    }
}

TEST_F(FileExtWindow, TreeChangeEnablesSetWhenTheDataFolderIsMissing)
{
    st.folders.DataFolder = dir.path() + QStringLiteral("/gone/");
    auto w = Open();
    EXPECT_FALSE(w->cmdChangeDir->isEnabled());
    EXPECT_FALSE(w->SelectFolder(st.folders.DataFolder));
    ASSERT_TRUE(w->SelectFolder(QStringLiteral("/")));
    EXPECT_TRUE(w->cmdChangeDir->isEnabled());
    w->cmdChangeDir->click();
    EXPECT_EQ(w->lblDefaultDirectory->text(), QStringLiteral("/"));
}

TEST_F(FileExtWindow, CancelAndEscChangeNothing)
{
    for (const bool esc : {false, true}) {
        SCOPED_TRACE(esc ? "Esc" : "Cancel");
        Use({"*.a", "*.b"}, QStringLiteral("*.a"));
        const QString data = st.folders.DataFolder;
        dlg.QueueInput(QStringLiteral("*.new"));
        auto w = Open();
        w->cmdAdd->click();
        w->lstExtensions->setCurrentRow(0);
        w->cmdDelete->click();
        ASSERT_TRUE(w->SelectFolder(data + QStringLiteral("HL7")));
        w->cmdChangeDir->click();
        if (esc)
            QTest::keyClick(w.get(), Qt::Key_Escape);
        else
            w->cmdCancel->click();
        EXPECT_FALSE(w->isVisible());
        EXPECT_EQ(w->result(), QDialog::Rejected);
        EXPECT_EQ(st.options.DefaultExtension, QStringLiteral("*.a"));
        EXPECT_EQ(st.options.DefaultExtensions[0], QStringLiteral("*.a"));
        EXPECT_EQ(st.options.DefaultExtensions[2], QString());
        EXPECT_EQ(st.folders.DataFolder, data);
        EXPECT_EQ(st.options.LastFileOpenPath, QStringLiteral("/open/"));
        EXPECT_EQ(Stored(), QStringList(10, QStringLiteral("<none>")));
        EXPECT_EQ(StoredSetting(QStringLiteral("DefaultDataDir")), QStringLiteral("<none>"));
    }
}

}  // namespace
}  // namespace quillon
