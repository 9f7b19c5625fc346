// The undo ring: its file format, the files of each instance, failed saves, and Edit > Undo
// in the main window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <functional>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "BackgroundSupport.h"
#include "TestSupport.h"
#include "editing/frmFilterRecords.h"
#include "editing/ReplaceRecords.h"
#include "editing/frmReplaceInRecordList.h"
#include "records/UndoRing.h"

namespace quillon::test {
namespace {

using platform::MsgIcon;
using Slots = std::vector<std::string>;

std::vector<RecordText> Texts(const Slots& strings)
{
    std::vector<RecordText> texts;
    for (const std::string& s : strings)
        texts.emplace_back(s);
    return texts;
}

Slots Strings(const std::vector<RecordText>& texts)
{
    Slots strings;
    for (const RecordText& t : texts)
        strings.push_back(t.str());
    return strings;
}

QStringList Files(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

RecordStore StoreOf(const Slots& texts)
{
    RecordStore store;
    for (const auto& t : texts)
        store.Append(t);
    return store;
}

// ------------------------------------------------------------------------------- file format

TEST(UndoFile, EverySlotRoundTripsByteForByte)
{
    std::string allBytes;
    Slots eachByte = {""};
    for (int b = 0; b < 256; ++b) {
        allBytes += static_cast<char>(b);
        eachByte.push_back(std::string(1, static_cast<char>(b)));
    }
    Slots spare(120);
    spare[1] = "MSH|^~\\&|A\r";
    spare[2] = "";
    spare[3] = "PID|\r";
    spare[90] = "left over by a delete";
    std::string big(3 * (1 << 20) + 7, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7 + i / 251);

    const struct {
        const char* name;
        Slots texts;  // slot 0 is never written
    } cases[] = {
        {"one empty slot", {"", ""}},
        {"every byte value in one record", {"", allBytes, allBytes + "\r\n"}},
        {"each byte value alone", eachByte},
        {"spare slots with leftover text", spare},
        {"records larger than the write block", {"", big, "tail", big.substr(5)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("A-Records1.undo");
        QString error;
        ASSERT_TRUE(WriteUndoFile(path, Texts(c.texts), &error)) << error.toStdString();
        EXPECT_EQ(Files(dir.path()), QStringList{"A-Records1.undo"});
        std::vector<RecordText> got = Texts({"junk", "junk"});
        ASSERT_TRUE(ReadUndoFile(path, got, &error)) << error.toStdString();
        EXPECT_EQ(Strings(got), c.texts);
    }
}

TEST(UndoFile, DamagedFileIsRefusedAndTheArrayKept)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("A-Records1.undo");
    ASSERT_TRUE(WriteUndoFile(path, Texts({"", "MSH|a\r", "", "PID|\xff\r"}), nullptr));
    const std::string good = ReadBytes(path);
    std::vector<std::string> damaged = {good + "x", "QUNDO02\n" + good.substr(8)};
    for (size_t cut = 0; cut < good.size(); ++cut)
        damaged.push_back(good.substr(0, cut));
    for (const auto& bytes : damaged) {
        SCOPED_TRACE(bytes.size());
        WriteBytes(path, bytes);
        std::vector<RecordText> kept = Texts({"", "kept"});
        QString error;
        EXPECT_FALSE(ReadUndoFile(path, kept, &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(Strings(kept), (Slots{"", "kept"}));
    }
}

// A record read back equal to one of the records as they stand shares that text's bytes rather
// than taking memory again: in its own slot, where a filter or a delete left it, or anywhere
// after a sort. A changed record takes bytes of its own.
TEST(UndoFile, ReadingBackSharesTheBytesOfEqualRecordsAsTheyStand)
{
    Slots saved = {""};
    for (int i = 1; i <= 6; ++i)
        saved.push_back("MSH|^~\\&|A|" + std::to_string(i) + "\rPID|" + std::string(40, 'x')
                        + "\r");
    const struct {
        const char* name;
        Slots current;
        std::vector<bool> shared;  // slots 1 to 6
    } cases[] = {
        {"unchanged", saved, {true, true, true, true, true, true}},
        {"sorted backwards",
         {"", saved[6], saved[5], saved[4], saved[3], saved[2], saved[1]},
         {true, true, true, true, true, true}},
        {"filtered", {"", saved[2], saved[5]}, {false, true, false, false, true, false}},
        {"one edited",
         {"", saved[1], saved[2], "edited\r", saved[4], saved[5], saved[6]},
         {true, true, false, true, true, true}},
        {"nothing left", {""}, {false, false, false, false, false, false}},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath("A-Records1.undo");
    ASSERT_TRUE(WriteUndoFile(path, Texts(saved), nullptr));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<RecordText> current = Texts(c.current);
        std::vector<RecordText> got;
        QString error;
        ASSERT_TRUE(ReadUndoFile(path, got, &error, &current)) << error.toStdString();
        EXPECT_EQ(Strings(got), saved);
        for (size_t i = 1; i < got.size(); ++i)
            EXPECT_EQ(std::any_of(current.begin(), current.end(),
                                  [&](const RecordText& t) { return t.SharesBytesWith(got[i]); }),
                      c.shared[i - 1])
                << "slot " << i;
    }
}

// ----------------------------------------------------------------------- files of instances

TEST(UndoInstances, ExitDeletesOnlyItsOwnFiles)
{
    QTemporaryDir dir;
    const QString temp = dir.path() + "/";
    const RecordStore store = StoreOf({"MSH|1\r"});
    UndoRing a, a2, b;
    ASSERT_TRUE(a.Save(store, {}, "One", temp, "1A"));
    ASSERT_TRUE(a.Save(store, {}, "Two", temp, "1A"));
    ASSERT_TRUE(a2.Save(store, {}, "One", temp, "1A2"));  // an id that begins like another
    ASSERT_TRUE(b.Save(store, {}, "One", temp, "B"));
    EXPECT_EQ(Files(temp), QStringList({"1A-Records1.undo", "1A-Records2.undo", "1A2-Records1.undo",
                                        "B-Records1.undo"}));

    EXPECT_EQ(DeleteUndoFiles(temp, "1A"), 2);
    EXPECT_EQ(Files(temp), QStringList({"1A2-Records1.undo", "B-Records1.undo"}));
    EXPECT_FALSE(AnyUndoFile(temp, "1A"));
    RecordStore back;
    Delimiters d;
    EXPECT_EQ(b.Restore(back, d, temp, "B"), UndoRing::RestoreResult::Restored);
    EXPECT_EQ(back.Records, store.Records);
}

TEST(UndoInstances, OrphanCleanupRemovesFilesOfEndedInstancesOnly)
{
    QTemporaryDir dir;
    const QString temp = dir.path() + "/";
    const struct {
        QString name;
        bool kept;
    } files[] = {
        {"7FFFFFF0-Records1.undo", false},      // a pid that is not running
        {"7FFFFFF0-Records4.undo.tmp", false},  // an unfinished write of it
        {UndoInstanceId() + "-Records1.undo", true},
        {"1-Records0.undo", true},         // pid 1 always runs
        {"7ffffff0-Records1.undo", true},  // not one of our names
        {"notes.undo", true},
        {"7FFFFFF0-Records1.txt", true},
    };
    for (const auto& f : files)
        WriteBytes(temp + f.name, "x");
    EXPECT_EQ(DeleteOrphanUndoFiles(temp), 2);
    for (const auto& f : files)
        EXPECT_EQ(QFile::exists(temp + f.name), f.kept) << f.name.toStdString();
}

// ---------------------------------------------------------------------------- failed saves

TEST(UndoRingSave, FailedWriteLeavesTheRingAsItWas)
{
    const struct {
        const char* name;
        bool folderUnderAFile;  // else the file-size limit stops the write halfway
    } cases[] = {{"folder under a regular file", true}, {"write stopped halfway", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString temp = dir.path() + "/";
        UndoRing ring;
        for (int i = 1; i <= 10; ++i)  // slots 1..9, 0: the next save would replace slot 1
            ASSERT_TRUE(
                ring.Save(StoreOf({std::to_string(i)}), {}, QString("Point %1").arg(i), temp, "A"));
        const UndoRing before = ring;
        const QStringList filesBefore = Files(temp);
        const std::string slot1 = ReadBytes(UndoFileName(temp, "A", 1));

        const RecordStore big = StoreOf(Slots(400, std::string(1000, 'r')));
        QString error;
        bool saved = true;
        if (c.folderUnderAFile) {
            WriteBytes(temp + "plain", "x");
            saved = ring.Save(big, {}, "Big", temp + "plain/", "A", &error);
        } else {
            rlimit old{};
            getrlimit(RLIMIT_FSIZE, &old);
            rlimit small = old;
            small.rlim_cur = 64 * 1024;
            auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            setrlimit(RLIMIT_FSIZE, &small);
            saved = ring.Save(big, {}, "Big", temp, "A", &error);
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldHandler);
        }
        EXPECT_FALSE(saved);
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(ring.UndoLevel, before.UndoLevel);
        EXPECT_EQ(ring.UndoDescriptions, before.UndoDescriptions);
        EXPECT_EQ(ring.UndoRecordCounts, before.UndoRecordCounts);
        EXPECT_EQ(Files(temp).filter(".undo"), filesBefore);
        EXPECT_EQ(ReadBytes(UndoFileName(temp, "A", 1)), slot1);

        RecordStore back;
        Delimiters d;
        ASSERT_EQ(ring.Restore(back, d, temp, "A"), UndoRing::RestoreResult::Restored);
        EXPECT_EQ(back.Record(1), "10");
    }
}

// ------------------------------------------------------------------------- the main window

class UndoWindow : public ::testing::Test {
protected:
    UndoWindow()
    {
        f.state.undo.UndoEnabled = true;
        f.state.session.InstanceId = "A1";
    }
    MainWindowFixture f;
    frmMain& w = *f.window;
    AppState& st = f.state;

    void Load(int count)
    {
        std::string bytes;
        for (int i = 1; i <= count; ++i)
            bytes += "MSH|^~\\&|APP|||||||MSG" + std::to_string(i) + "\r\nPID|" + std::to_string(i)
                     + "\r\n";
        w.LoadHL7File(f.WriteFile("in.hl7", bytes));
        ASSERT_EQ(st.records.RecordCount, count);
    }
    // More records than a full small disk holds, MSH-7 descending so that a sort moves every one.
    void LoadDescending()
    {
        std::string bytes;
        for (int i = 1; i <= 2000; ++i)
            bytes += "MSH|^~\\&|APP||||" + std::to_string(90000 - i) + "||ADT|MSG"
                     + std::to_string(i) + "\r\nPID|" + std::to_string(i) + "\r\n";
        st.folders.TempFolder = st.folders.DataRoot + "Temp/";
        w.WriteBesideFrom = size_t{16} << 20;
        ASSERT_TRUE(w.LoadHL7File(f.WriteFile("in.hl7", bytes)));
        w.StartEmptyUndoRing();
        w.setWindowTitle("Quillon - in.hl7");
        st.session.CurrentFileName = "in.hl7";
        w.sFileName = "in.hl7";
    }
    // The failures reported, beside a command's own report.
    int FailureBoxes() const
    {
        int failures = 0;
        for (const auto& box : f.responder.shown()) {
            if (box.kind != platform::ScriptedResponder::Shown::Kind::Message
                || box.title == "Delimiters Replaced")
                continue;
            ++failures;
            EXPECT_TRUE(box.text.startsWith("The undo point could not be saved: ")
                        || box.text.startsWith("The sorted records could not be written"))
                << box.text.toStdString();
        }
        return failures;
    }
    QString SlotFile(int slot) const { return UndoFileName(st.folders.TempFolder, "A1", slot); }
    void Change()  // any edit of the store
    {
        st.records.Append("MSH|^~\\&|EDIT\r");
        w.DisplayPage(w.CurrentPage);
    }
    bool UndoOffered() const { return w.tbarButtons[6]->isEnabled() && w.mnuEditUndo->isEnabled(); }
    QString Tooltip() const { return w.tbarButtons[6]->toolTip(); }
    void ExpectNothingLeftBox()
    {
        ASSERT_EQ(f.responder.shown().size(), 1u);
        const auto& box = f.responder.shown().back();
        EXPECT_EQ(box.text, "You have undone as far back as possible.");
        EXPECT_EQ(box.title, "Unable to Undo");
        EXPECT_EQ(box.icon, MsgIcon::Information);
        EXPECT_EQ(Tooltip(), "Undo last change");
        EXPECT_EQ(w.mnuEditUndo->text(), "Undo");
    }
};

TEST_F(UndoWindow, UndoOfADeleteRestoresStoreCountAndFirstPage)
{
    const struct {
        const char* earlier;  // the operation saved in slot 0, if any
    } cases[] = {{nullptr}, {"Sort on MSH-7"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.earlier ? c.earlier : "none");
        st.undo.StartEmpty(st.folders.TempFolder, "A1");
        Load(450);
        if (c.earlier) {
            st.undo.UndoLevel = 9;
            w.UndoSave(c.earlier);
        }
        const RecordStore before = st.records;
        w.UndoSave("Delete Record");
        EXPECT_TRUE(QFile::exists(SlotFile(1)));
        EXPECT_EQ(Tooltip(), "Undo Delete Record");
        EXPECT_TRUE(UndoOffered());

        w.cmdNextPage_Click();
        DeleteStringItem(st.records.Records, 420);
        --st.records.RecordCount;
        w.DisplayPage(w.CurrentPage);
        w.stsPanels[5]->setText("PID-1");
        w.lblTCPIPcount->setText("Count: 7");
        w.mnuEditUndo_Click();
        EXPECT_EQ(w.lblTCPIPcount->text(), "Count:");

        EXPECT_EQ(st.records.Records, before.Records);
        EXPECT_EQ(st.records.RecordCount, 450);
        EXPECT_EQ(w.CurrentPage, 1);
        EXPECT_EQ(w.lblPageOf->text(), "Pg 1/2");
        EXPECT_EQ(w.lstRecords->count(), 400);
        EXPECT_EQ(w.lstRecords->currentRow(), 0);
        EXPECT_TRUE(w.lstRecords->item(0)->isSelected());
        EXPECT_EQ(w.CurrentRecordIndex, 0);
        EXPECT_EQ(w.stsPanels[5]->text(), "");
        EXPECT_FALSE(QFile::exists(SlotFile(1)));
        EXPECT_EQ(st.undo.UndoLevel, 0);
        EXPECT_EQ(Tooltip(), QString("Undo ") + (c.earlier ? c.earlier : ""));
        EXPECT_EQ(UndoOffered(), c.earlier != nullptr);
        EXPECT_TRUE(f.responder.shown().empty());
    }
}

// Copies written at once, and copies written beside the window after each command (undone
// from the copy while its write is on its way, or from the disk): the same ring either way.
TEST_F(UndoWindow, TenOfElevenStepsCanBeUndone)
{
    for (const bool beside : {false, true}) {
        SCOPED_TRACE(beside ? "written beside" : "written at once");
        st.undo.StartEmpty(st.folders.TempFolder, "A1");
        w.WriteBesideFrom = beside ? 0 : size_t{16} << 20;
        f.responder.Clear();
        Load(2);
        std::vector<Slots> states;  // the store before each save
        for (int i = 1; i <= 11; ++i) {
            states.push_back(Strings(st.records.Records));
            w.UndoSave(QString("Op %1").arg(i));
            Change();
        }
        for (int undo = 1; undo <= 10; ++undo) {
            SCOPED_TRACE(undo);
            ASSERT_TRUE(ChooseMenuItem(w.mnuEditUndo));
            EXPECT_EQ(Strings(st.records.Records), states[static_cast<size_t>(11 - undo)]);
            EXPECT_EQ(st.records.RecordCount, 2 + 11 - undo);
            if (undo < 10) {
                EXPECT_EQ(Tooltip(), QString("Undo Op %1").arg(11 - undo));
                w.mnuEdit_Click();
                EXPECT_EQ(w.mnuEditUndo->text(), QString("Undo Op %1").arg(11 - undo));
            }
            EXPECT_EQ(UndoOffered(), undo < 10);
        }
        EXPECT_TRUE(f.responder.shown().empty());
        w.mnuEditUndo_Click();
        ExpectNothingLeftBox();
        EXPECT_EQ(Strings(st.records.Records), states[1]);
        EXPECT_FALSE(UndoOffered());
        w.AwaitWrites();
        EXPECT_TRUE(Files(st.folders.TempFolder).filter("A1-").isEmpty());
    }
}

// An undo while its copy is still on the way to the disk takes the copy and drops the write.
TEST_F(UndoWindow, UndoBeforeTheCopyReachedTheDiskTakesTheCopy)
{
    Load(3);
    w.WriteBesideFrom = 0;
    HeldWrites held(w.backgroundWrites_);
    const Slots before = Strings(st.records.Records);
    w.UndoSave("Delete Record");
    EXPECT_FALSE(QFile::exists(SlotFile(1)));  // on its way
    Change();
    ASSERT_TRUE(ChooseMenuItem(w.mnuEditUndo));  // the menu offers the copy on its way
    EXPECT_EQ(Strings(st.records.Records), before);
    EXPECT_EQ(st.undo.UndoLevel, 0);
    EXPECT_FALSE(UndoOffered());
    held.Release();
    w.AwaitWrites();
    EXPECT_TRUE(Files(st.folders.TempFolder).filter("A1-").isEmpty());
    EXPECT_TRUE(f.responder.shown().empty());
}

// A copy that cannot be written after its command has returned (here the file-size limit stops
// it) is reported, and the ring steps back: the undo offered is the one before.
TEST_F(UndoWindow, WriteFailingAfterTheCommandIsReportedAndTakenBack)
{
    Load(3);
    w.UndoSave("Sort");
    Change();
    w.WriteBesideFrom = 0;
    for (int i = 0; i < 200; ++i)
        st.records.Append(std::string(1000, 'r'));
    const Slots beforeFailed = Strings(st.records.Records);
    // An older copy in the slot the failed write was for must never come back.
    WriteBytes(SlotFile(2), "stale");

    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 64 * 1024;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    {
        HeldWrites held(w.backgroundWrites_);  // the write happens after the command
        setrlimit(RLIMIT_FSIZE, &small);
        w.UndoSave("Delete Record");
        EXPECT_EQ(st.undo.UndoLevel, 2);
        EXPECT_EQ(Tooltip(), "Undo Delete Record");
    }
    w.AwaitWrites();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    ASSERT_EQ(f.responder.shown().size(), 1u);
    EXPECT_TRUE(f.responder.shown()[0].text.startsWith("The undo point could not be saved: "));
    EXPECT_EQ(f.responder.shown()[0].title, "Undo");
    EXPECT_EQ(st.undo.UndoLevel, 1);
    EXPECT_EQ(Tooltip(), "Undo Sort");
    EXPECT_FALSE(QFile::exists(SlotFile(2)));
    EXPECT_FALSE(QFile::exists(SlotFile(2) + ".tmp"));
    EXPECT_EQ(Strings(st.records.Records), beforeFailed);
    ASSERT_TRUE(ChooseMenuItem(w.mnuEditUndo));
    EXPECT_EQ(st.records.RecordCount, 3);
}

// The commands whose undo points (and the sort's file) are written beside the window, their
// files on a full disk: each failure is reported after the command has returned, and the
// command is taken back, as when a small store's write fails at once: the records, the
// delimiters, the caption and the current file as they were, no undo point, no file left.
TEST_F(UndoWindow, CommandsWhoseFilesFailBesideChangeNothing)
{
    const FullFolder full;
    if (!full.Ok())
        GTEST_SKIP() << full.Error().toStdString();
    const QString temp = QFileInfo(full.FilePath("x")).path() + "/";
    QApplication::clipboard()->setText("MSH|^~\\&|PASTED\rPID|1\r");
    const auto replace = [this] {
        QTimer press;
        QObject::connect(&press, &QTimer::timeout, [&] {
            if (ReplaceDialog* d = w.frmReplaceInRecordList; d && d->isVisible()) {
                press.stop();
                d->txtFind->setText("APP");
                d->txtReplace->setText("APQ");
                d->optScope[0]->setChecked(true);
                d->cmdCommand[0]->click();
            }
        });
        press.start(10);
        ASSERT_TRUE(ChooseMenuItem(w.mnuRecordListReplace));
    };
    const struct {
        const char* name;
        std::function<void()> run;
    } cases[] = {
        {"sort", [&] { ASSERT_TRUE(ChooseMenuItem(w.mnuToolsSortMSH7)); }},
        {"filter",
         [&] {
             OnNextModal<frmFilterRecords>([](frmFilterRecords* d) {
                 d->cboFilterRecords->setEditText("MSG1");
                 d->cmdApplyFilter->click();
             });
             ASSERT_TRUE(ChooseMenuItem(w.mnuEditFilterRecordList));
         }},
        {"replace all", replace},
        {"delete",
         [&] {
             w.lstRecords->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
             ASSERT_TRUE(ChooseMenuItem(w.mnuRecordListDelete));
         }},
        {"change delimiters",
         [&] {
             f.responder.QueueInput("#@*/%");
             ASSERT_TRUE(ChooseMenuItem(w.mnuToolsChangeDelimiters));
         }},
        {"paste", [&] { ASSERT_TRUE(ChooseMenuItem(w.mnuClipboardPaste)); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        w.mnuOptionsPromptBeforeDeleting->setChecked(false);
        LoadDescending();
        st.folders.TempFolder = temp;
        w.WriteBesideFrom = 0;
        const Slots before = Strings(st.records.Records);
        const int32_t count = st.records.RecordCount;
        f.responder.Clear();

        c.run();
        w.AwaitWrites();

        EXPECT_GE(FailureBoxes(), 1);
        EXPECT_EQ(st.records.RecordCount, count);
        EXPECT_EQ(Strings(st.records.Records), before);
        EXPECT_EQ(st.delimiters.AllDelimiters, "|^~\\&");
        EXPECT_EQ(w.windowTitle(), "Quillon - in.hl7");
        EXPECT_EQ(st.session.CurrentFileName, "in.hl7");
        EXPECT_EQ(w.sFileName, "in.hl7");
        EXPECT_EQ(st.undo.UndoLevel, 0);
        EXPECT_FALSE(UndoOffered());
        EXPECT_TRUE(Files(temp).isEmpty()) << Files(temp).join(' ').toStdString();
    }
}

// A command that changes records while the last change's files are still on their way first
// waits for them, window events running. When one fails, that change is taken back and the
// command does nothing: it never acts on rows that the roll-back moved.
TEST_F(UndoWindow, ACommandAfterAChangeWhoseFileFailsWaitsAndDoesNothing)
{
    const FullFolder full;
    if (!full.Ok())
        GTEST_SKIP() << full.Error().toStdString();
    const QString temp = QFileInfo(full.FilePath("x")).path() + "/";
    const struct {
        const char* name;
        std::function<void()> run;
    } cases[] = {
        {"delete the selected record",
         [&] {
             w.lstRecords->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
             ASSERT_TRUE(ChooseMenuItem(w.mnuRecordListDelete));
         }},
        {"sort again", [&] { ASSERT_TRUE(ChooseMenuItem(w.mnuToolsSortMSH7)); }},
        {"change delimiters",
         [&] {
             f.responder.QueueInput("#@*/%");
             ASSERT_TRUE(ChooseMenuItem(w.mnuToolsChangeDelimiters));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        w.mnuOptionsPromptBeforeDeleting->setChecked(false);
        LoadDescending();
        st.folders.TempFolder = temp;
        w.WriteBesideFrom = 0;
        const Slots before = Strings(st.records.Records);
        f.responder.Clear();
        {
            HeldWrites held(w.backgroundWrites_, std::chrono::milliseconds(200));
            ASSERT_TRUE(ChooseMenuItem(w.mnuToolsSortMSH7));
            ASSERT_EQ(st.records.Record(1).substr(0, 22), "MSH|^~\\&|APP||||88000|");
            c.run();
        }
        w.AwaitWrites();
        EXPECT_GE(FailureBoxes(), 1);
        EXPECT_EQ(Strings(st.records.Records), before);
        EXPECT_EQ(st.delimiters.AllDelimiters, "|^~\\&");
        EXPECT_EQ(w.windowTitle(), "Quillon - in.hl7");
        EXPECT_EQ(st.session.CurrentFileName, "in.hl7");
        EXPECT_FALSE(UndoOffered());
        EXPECT_TRUE(Files(temp).isEmpty()) << Files(temp).join(' ').toStdString();
    }
}

// An undo point copies no record: it shares every record's bytes with the store, and a replace
// then gives new bytes to the records it changes only.
TEST_F(UndoWindow, AnUndoPointSharesTheRecordsAndAReplaceCopiesOnlyThoseItChanges)
{
    Load(450);
    for (const bool beside : {false, true}) {
        SCOPED_TRACE(beside ? "written beside" : "written at once");
        w.WriteBesideFrom = beside ? 0 : size_t{16} << 20;
        const std::vector<RecordText> before = st.records.Records;
        ASSERT_TRUE(w.UndoSave("Replace All 'MSG7'"));
        const RecordsSnapshot& point = *w.undoSnapshots_[static_cast<size_t>(st.undo.UndoLevel)];
        for (int32_t i = 1; i <= st.records.RecordCount; ++i)
            ASSERT_TRUE(point[static_cast<size_t>(i)].SharesBytesWith(st.records.Records[i])) << i;

        SearchRequest request;
        request.FindText = "MSG7";
        request.ReplaceText = "MSG-7";
        request.MatchCase = true;
        EXPECT_EQ(RecordListReplaceAll(st.records, request, st.delimiters, '\r', 1, 450), 11);
        for (int32_t i = 1; i <= st.records.RecordCount; ++i) {
            const bool changed =
                before[static_cast<size_t>(i)].view().find("MSG7") != std::string::npos;
            EXPECT_EQ(point[static_cast<size_t>(i)].SharesBytesWith(st.records.Records[i]),
                      !changed)
                << i;
            EXPECT_EQ(point[static_cast<size_t>(i)], before[static_cast<size_t>(i)]) << i;
        }
        w.AwaitWrites();
        ASSERT_TRUE(ChooseMenuItem(w.mnuEditUndo));
        EXPECT_EQ(st.records.Records, before);
    }
}

// A command's second point over records it has not changed yet (a replace leaves two) is the
// same file as its first, linked once that one is written rather than written again; each
// gives the records back.
TEST_F(UndoWindow, ASecondPointOverTheSameRecordsSharesTheFirstOnesFile)
{
    Load(3);
    w.WriteBesideFrom = 0;
    const Slots before = Strings(st.records.Records);
    ASSERT_TRUE(w.UndoSave("Replace 'MSG' with 'M'"));
    ASSERT_TRUE(w.UndoSave("Replace All 'MSG'"));
    Change();
    w.AwaitWrites();
    struct stat first {
    }, second{};
    ASSERT_EQ(stat(QFile::encodeName(SlotFile(1)).constData(), &first), 0);
    ASSERT_EQ(stat(QFile::encodeName(SlotFile(2)).constData(), &second), 0);
    EXPECT_EQ(first.st_ino, second.st_ino);
    for (int undo = 0; undo < 2; ++undo) {
        w.undoSnapshots_.fill(nullptr);  // read back from the files
        ASSERT_TRUE(ChooseMenuItem(w.mnuEditUndo));
        EXPECT_EQ(Strings(st.records.Records), before);
    }
    EXPECT_TRUE(f.responder.shown().empty());
}

// Exit does not wait for copies that it would delete: their writes stop, and no file is left
// behind by a write that was still on its way.
TEST_F(UndoWindow, ExitStopsTheWritesAndLeavesNoUndoFile)
{
    Load(3);
    w.WriteBesideFrom = 0;
    {
        HeldWrites held(w.backgroundWrites_, std::chrono::milliseconds(300));
        w.UndoSave("Delete Record");
        Change();
        w.UndoSave("Paste Record(s)");
        w.close();
    }
    w.backgroundWrites_.WaitUntilAtMost(0);
    EXPECT_TRUE(Files(st.folders.TempFolder).filter("A1-").isEmpty());
    EXPECT_TRUE(f.responder.shown().empty());
}

// Records without a header segment, so showing them teaches the window no delimiters.
TEST_F(UndoWindow, DelimiterChangesAreUndoneWithTheirDelimiters)
{
    const Delimiters standard, hash = DelimitersFrom({"#", "@", "*", "/", "%"}),
                               bang = DelimitersFrom({"!", ":", "=", "?", "$"});
    auto five = [](const Delimiters& d) {
        return std::array<std::string, 5>{d.FieldSeparator, d.ComponentSeparator,
                                          d.RepetitionSeparator, d.EscapeCharacter,
                                          d.SubcomponentSeparator};
    };
    auto show = [&](const Delimiters& d, const char* record) {
        st.delimiters = d;
        st.records = StoreOf({record});
        w.DisplayPage(w.CurrentPage);
    };
    const struct {
        const char* name;
        const char* operation;
        bool heldFilled;  // the command left the replaced delimiters in UndoDelimiters
        const Delimiters& expected;
    } cases[] = {
        {"delimiters of the save", "Change Delimiters", false, hash},
        {"delimiters the command held", "Change Delimiters", true, bang},
        {"other operations keep the current ones", "Delete Record", true, standard},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        show(hash, "PID#1\r");
        st.editing.UndoDelimiters = {};
        if (c.heldFilled)
            for (size_t i = 0; i < 5; ++i)
                st.editing.UndoDelimiters[i + 1] = five(bang)[i];
        w.UndoSave(c.operation);
        show(standard, "PID|2\r");
        w.mnuEditUndo_Click();
        EXPECT_EQ(st.records.Record(1), "PID#1\r");
        EXPECT_EQ(five(st.delimiters), five(c.expected));
        EXPECT_NE(st.delimiters.AllDelimiters.find(c.expected.FieldSeparator), std::string::npos);
    }

    // Two changes undone in a row end with the first delimiters.
    st.editing.UndoDelimiters = {};
    show(standard, "PID|1\r");
    w.UndoSave("Change Delimiters");
    show(hash, "PID#1\r");
    w.UndoSave("Change Delimiters");
    show(bang, "PID!1\r");
    w.mnuEditUndo_Click();
    EXPECT_EQ(five(st.delimiters), five(hash));
    w.mnuEditUndo_Click();
    EXPECT_EQ(five(st.delimiters), five(standard));
    EXPECT_EQ(st.records.Record(1), "PID|1\r");
    EXPECT_TRUE(f.responder.shown().empty());
}

TEST_F(UndoWindow, WithAViewActiveTheFirstPressOnlyEndsTheView)
{
    Load(3);
    const Slots before = Strings(st.records.Records);
    w.UndoSave("Delete Record");
    Change();
    const Slots changed = Strings(st.records.Records);
    st.view.ViewFields = {"PID-1"};

    w.mnuEditUndo_Click();
    EXPECT_TRUE(st.view.ViewFields.empty());
    EXPECT_EQ(Strings(st.records.Records), changed);
    EXPECT_TRUE(UndoOffered());
    w.mnuEditUndo_Click();
    EXPECT_EQ(Strings(st.records.Records), before);
    EXPECT_TRUE(f.responder.shown().empty());
}

TEST_F(UndoWindow, ANewFileStartsWithNothingToUndo)
{
    Load(3);
    w.UndoSave("Delete Record");
    UndoRing other;  // another running instance in the same folder
    ASSERT_TRUE(other.Save(st.records, {}, "Sort", st.folders.TempFolder, "B2"));

    st.undo.StartEmpty(st.folders.TempFolder, "A1");
    Load(2);
    w.mnuEditUndo_Click();
    ExpectNothingLeftBox();
    EXPECT_EQ(st.records.RecordCount, 2);
    EXPECT_FALSE(UndoOffered());  // the other instance's file is not ours to undo
    EXPECT_TRUE(AnyUndoFile(st.folders.TempFolder, "B2"));
}

TEST_F(UndoWindow, DisabledRingNeitherSavesNorUndoes)
{
    Load(3);
    st.undo.UndoEnabled = false;
    st.view.ViewFields = {"PID-1"};
    w.UndoSave("Delete Record");
    w.mnuEditUndo_Click();
    EXPECT_FALSE(AnyUndoFile(st.folders.TempFolder, "A1"));
    EXPECT_EQ(st.view.ViewFieldCount(), 1);
    EXPECT_FALSE(w.RestoreUndoLevel());
    EXPECT_TRUE(f.responder.shown().empty());
}

TEST_F(UndoWindow, FailedSaveIsReportedAndTheCommandGoesOn)
{
    Load(3);
    w.UndoSave("Sort");
    WriteBytes(st.folders.TempFolder + "plain", "x");
    const QString temp = st.folders.TempFolder;
    st.folders.TempFolder = temp + "plain/";
    w.UndoSave("Delete Record");
    ASSERT_EQ(f.responder.shown().size(), 1u);
    EXPECT_TRUE(f.responder.shown()[0].text.startsWith("The undo point could not be saved: "));
    EXPECT_EQ(f.responder.shown()[0].title, "Undo");
    EXPECT_EQ(st.undo.UndoLevel, 1);
    EXPECT_EQ(Tooltip(), "Undo Sort");

    st.folders.TempFolder = temp;
    Change();
    w.mnuEditUndo_Click();
    EXPECT_EQ(st.records.RecordCount, 3);
    EXPECT_EQ(f.responder.shown().size(), 1u);
}

}  // namespace
}  // namespace quillon::test
