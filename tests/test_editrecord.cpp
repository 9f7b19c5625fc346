// Editing one record by hand: the record editor's text round trip, the record-list command that
// writes the edited text back in place, and the field-list command that splices a new value.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTimer>
#include <functional>

#include "TestSupport.h"
#include "editing/frmEditRecord.h"

namespace quillon::test {
namespace {

// Runs `step` on the record editor once it shows (bounded: after 5 s the wait gives up).
void WhenEditorShows(std::function<void(frmEditRecord&)> step, bool* shown = nullptr)
{
    auto tries = std::make_shared<int>(0);
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [=] {
        if (auto* editor = qobject_cast<frmEditRecord*>(QApplication::activeModalWidget())) {
            if (shown)
                *shown = true;
            step(*editor);
            return;
        }
        if (++*tries < 500)
            QTimer::singleShot(10, *poll);
    };
    QTimer::singleShot(0, *poll);
}

TEST(EditRecordDialog, TextComesBackAsTheRecord)
{
    const struct {
        const char* what;
        QString record;
        std::function<void(frmEditRecord&)> edit;
        QString expected;
    } cases[] = {
        {"unchanged, CR segments", "MSH|^~\\&|A\rPID|1||\u00a0x\x0b\r", nullptr,
         "MSH|^~\\&|A\rPID|1||\u00a0x\x0b\r"},
        {"unchanged, LF and CR LF inside", "MSH|A\r\nPID|1\nNTE|x", nullptr, "MSH|A\r\nPID|1\nNTE|x"},
        {"typed text: each line break the EOB", "MSH|A\r\nPID|1\nNTE|x",
         [](frmEditRecord& d) { d.txtRecord->moveCursor(QTextCursor::End); d.txtRecord->insertPlainText("y"); },
         "MSH|A\rPID|1\rNTE|xy"},
        {"Reset brings back the opening text", "MSH|A\rPID|1\r",
         [](frmEditRecord& d) { d.txtRecord->setPlainText("junk"); d.cmdReset->click(); },
         "MSH|A\rPID|1\r"},
        {"Insert EOB replaces the selection", "MSH|A|PID|1",
         [](frmEditRecord& d) {
             QTextCursor c = d.txtRecord->textCursor();
             c.setPosition(5);
             c.setPosition(6, QTextCursor::KeepAnchor);
             d.txtRecord->setTextCursor(c);
             d.cmdInsertEOB->click();
         },
         "MSH|A\rPID|1"},
    };
    for (const auto& c : cases) {
        QString text = c.record;
        frmEditRecord editor(text, '\r');
        EXPECT_EQ(editor.windowTitle(), "Edit Record");
        if (c.edit)
            c.edit(editor);
        editor.cmdOK->click();
        EXPECT_EQ(text.toLatin1().toStdString(), c.expected.toLatin1().toStdString()) << c.what;
    }
    // Cancel leaves the text alone.
    QString text = "MSH|A";
    frmEditRecord editor(text, '\r');
    editor.txtRecord->setPlainText("other");
    editor.cmdCancel->click();
    EXPECT_EQ(text, "MSH|A");
}

class EditWindow : public ::testing::Test {
protected:
    MainWindowFixture f;
    frmMain& w = *f.window;
    AppState& st = f.state;

    void SetUp() override { st.undo.UndoEnabled = true; }
    // The records as stored (the file loader would drop segments without a field separator).
    void Show(const std::vector<std::string>& records)
    {
        st.records.Reset(100);
        for (const auto& r : records)
            st.records.Append(r);
        w.CurrentPage = 1;
        w.DisplayPage(w.CurrentPage);
    }
    void SelectRecordRow(int row)
    {
        w.lstRecords->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
        w.lstRecords_Click();
    }
    // The row of the `nth` (from 1) field line headed by `designation`; -1 when none.
    int FieldLine(const QString& designation, int nth = 1) const
    {
        for (int i = 0; i < w.lstFields->count(); ++i)
            if (w.lstFields->item(i)->text().section(' ', 0, 0) == designation && --nth == 0)
                return i;
        return -1;
    }
};

TEST_F(EditWindow, RecordEditReplacesRowInPlaceWithoutUndoPoint)
{
    Show({"MSH|^~\\&|A|1\rPID|1||ONE\r", "MSH|^~\\&|A|2\rPID|1||TWO\r", "MSH|^~\\&|A|3\r"});
    SelectRecordRow(1);
    WhenEditorShows([](frmEditRecord& d) {
        d.txtRecord->setPlainText("MSH|^~\\&|A|2\nPID|1||EDITED\nNTE|1");
        d.cmdOK->click();
    });
    w.mnuRecordListEdit_Click();
    EXPECT_EQ(st.records.Record(2), "MSH|^~\\&|A|2\rPID|1||EDITED\rNTE|1");
    EXPECT_EQ(w.lstRecords->count(), 3);
    EXPECT_EQ(w.lstRecords->item(1)->text(), "MSH|^~\\&|A|2\rPID|1||EDITED\rNTE|1");
    EXPECT_EQ(st.records.Record(3), "MSH|^~\\&|A|3\r");
    EXPECT_EQ(w.lstSegments->count(), 3);
    EXPECT_EQ(w.lstSegments->item(2)->text(), "NTE|1");
    EXPECT_FALSE(w.mnuEditUndo->isEnabled());

    // OK on the untouched text keeps every byte; with no current row no editor opens.
    WhenEditorShows([](frmEditRecord& d) { d.cmdOK->click(); });
    SelectRecordRow(0);
    w.mnuRecordListEdit_Click();
    EXPECT_EQ(st.records.Record(1), "MSH|^~\\&|A|1\rPID|1||ONE\r");
    w.lstRecords->setCurrentIndex(QModelIndex());
    bool shown = false;
    WhenEditorShows([](frmEditRecord& d) { d.cmdCancel->click(); }, &shown);
    w.mnuRecordListEdit_Click();
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
    EXPECT_FALSE(shown);
}

TEST_F(EditWindow, FieldEditSplicesIntoTheSegmentOfTheLine)
{
    const struct {
        const char* what;
        std::string record;
        std::vector<std::string> view;
        QString line;
        int nth;
        std::optional<QString> input;  // no value: the input box is not shown or is cancelled
        std::string expected;          // the record afterwards ("" = unchanged)
        bool asked = true;
    } cases[] = {
        {"second of two PID segments", "MSH|^~\\&|A\rPID|1||X||ONE^A\rPID|2||Y||TWO^B\r", {},
         "PID-5", 2, "NEW^N", "MSH|^~\\&|A\rPID|1||X||ONE^A\rPID|2||Y||NEW^N"},
        {"empty value keeps the separators", "MSH|^~\\&|A\rPID|1||X||N|19700101|M|W\r", {},
         "PID-7", 1, "", "MSH|^~\\&|A\rPID|1||X||N|19700101||W"},
        {"a segment with no field lines before it", "MSH|^~\\&|A\rZZZ\rNTE\rPID|1||X||OLD\r", {},
         "PID-5", 1, "NEW", "MSH|^~\\&|A\rZZZ\rNTE\rPID|1||X||NEW"},
        {"under a view: the segment of the line", "MSH|^~\\&|A\rOBX|1||5\rOBX|2||6\rOBX|3||7\r",
         {"OBX-3"}, "OBX-3", 3, "9", "MSH|^~\\&|A\rOBX|1||5\rOBX|2||6\rOBX|3||9"},
        {"short header: no component separator", "MSH|\rPID|1||A^B\r", {}, "PID-3", 1, "NEW",
         "MSH|\rPID|1||NEW"},
        {"cancel changes nothing", "MSH|^~\\&|A\rPID|1||X\r", {}, "PID-3", 1, std::nullopt, ""},
        {"the separator line is not edited", "MSH|^~\\&|A\rPID|1||X\r", {}, "MSH-1", 1,
         std::nullopt, "", false},
        {"the blank line between segments is refused", "MSH|^~\\&|A\rPID|1||X||A^B\r", {}, "", 1,
         std::nullopt, "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        st.view.ViewFields.clear();
        Show({c.record, "MSH|^~\\&|OTHER\r"});
        st.view.ViewFields = c.view;
        SelectRecordRow(0);
        f.responder.Clear();
        const int row = FieldLine(c.line, c.nth);
        ASSERT_GE(c.line.isEmpty() ? 0 : row, 0);
        const bool undoBefore = w.mnuEditUndo->isEnabled();
        f.responder.QueueInput(c.input);
        // An empty name picks the blank line between two segments' fields, where the menu
        // offers no Edit.
        EXPECT_EQ(ChooseFieldListMenuItem(w, c.line.isEmpty() ? FieldLine("") : row, w.mnuFieldListEdit),
                  !c.line.isEmpty());

        const bool changed = !c.expected.empty();
        EXPECT_EQ(st.records.Record(1), changed ? c.expected : c.record);
        EXPECT_EQ(st.records.Record(2), "MSH|^~\\&|OTHER\r");
        const bool askedNow = !f.responder.shown().empty();
        EXPECT_EQ(askedNow, c.asked);
        if (askedNow) {
            EXPECT_EQ(f.responder.shown()[0].text, "Enter new field content:");
            EXPECT_EQ(f.responder.shown()[0].title, "Edit Field");
        }
        EXPECT_EQ(w.mnuEditUndo->isEnabled(), changed || undoBefore);
        if (changed) {
            EXPECT_EQ(w.tbarButtons[6]->toolTip(), "Undo Edit " + c.line);
            EXPECT_TRUE(w.lstRecords->item(0)->isSelected());
            EXPECT_EQ(w.lstFields->currentRow(), row);
            EXPECT_EQ(w.lstFields->item(row)->text().section(' ', 0, 0), c.line);
        }
        st.undo.UndoLevel = 0;
    }
}

TEST_F(EditWindow, UnderAViewWithoutTheSegmentTheEditIsRefused)
{
    Show({"MSH|^~\\&|A\rPID|1||X\r"});
    SelectRecordRow(0);
    const int row = FieldLine("PID-3");
    ASSERT_GE(row, 0);
    // The view came after the lists were filled; the segment list holds no such segment.
    st.view.ViewFields = {"PID-3"};
    w.lstSegments->RemoveRow(1);
    w.lstFields->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
    w.mnuFieldListEdit_Click();
    ASSERT_EQ(f.responder.shown().size(), 1u);
    EXPECT_EQ(f.responder.shown()[0].text,
              "Unable to determine which segment the field you wish to edit is in.");
    EXPECT_EQ(f.responder.shown()[0].title, "Can't Edit Field");
    EXPECT_EQ(st.records.Record(1), "MSH|^~\\&|A\rPID|1||X\r");
}

}  // namespace
}  // namespace quillon::test
