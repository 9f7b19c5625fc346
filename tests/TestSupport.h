#pragma once
#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/frmMain.h"
#include "platform/Dialogs.h"
#include "platform/Process.h"

class QComboBox;

namespace quillon {
class FindDialog;
class ReplaceDialog;
}

namespace quillon::test {

// Writes `bytes` to `path` exactly.
void WriteBytes(const QString& path, const std::string& bytes);
std::string ReadBytes(const QString& path);

// A desktop that records what it was asked and answers as told.
class FakeDesktop : public platform::Desktop {
public:
    bool OpenDocument(const QString& verb, const QString& path) override;
    bool StartProgram(const QString& program, const QStringList& arguments) override;

    bool openSucceeds = true;
    bool startSucceeds = true;
    std::vector<QStringList> opened;   // {verb, path}
    std::vector<QStringList> started;  // {program, args...}
};

// A main window over a fresh state whose data folders lie in a scratch folder. Its boxes go to
// `responder`, or to `dialogs` when given (the real boxes, answered with AnswerModals).
struct MainWindowFixture {
    explicit MainWindowFixture(platform::Dialogs* dialogs = nullptr);
    QTemporaryDir home;
    AppState state;
    platform::ScriptedResponder responder;
    FakeDesktop desktop;
    std::unique_ptr<frmMain> window;

    QString WriteFile(const QString& name, const std::string& bytes) const;
};

// A folder on a file system of its own that holds `kib` KiB (64 unless said), for writes that
// run out of space. The file system is mounted in a mount namespace that the calling thread
// takes for itself (root only), so nothing outside the test sees it; it goes with the object.
// Threads started before it do not see it. Check Ok().
class FullFolder {
public:
    explicit FullFolder(int kib = 64);
    ~FullFolder();
    FullFolder(const FullFolder&) = delete;
    FullFolder& operator=(const FullFolder&) = delete;
    bool Ok() const { return error_.isEmpty(); }
    QString Error() const { return error_; }
    QString FilePath(const QString& name) const { return dir_.filePath(name); }
    // Fills the file system with a file in a folder of its own until at most `room` bytes are
    // left (the file system counts whole pages of 4 KiB); the folder's own files stay the only
    // files in it. Fill again after files were removed.
    void Fill(qint64 room = 0);

private:
    QTemporaryDir dir_;
    QString error_;
    bool mounted_ = false;
    int fills_ = 0;
};

// Checks a load from a database under the interface name "../../escaped": the records' file
// lies in the temp folder, so File > Save asks where to write them (and is cancelled), and
// nothing is written beside the data folders.
void ExpectSaveStaysInTheTempFolder(MainWindowFixture& f);

// Works a find dialog while a find command waits for it: each step runs once the command waits
// (a find dialog shows and SearchDialogDone is false); after the last step, or after 10 s at
// the latest, Cancel ends the command. Call it before the command starts.
void DriveFindDialog(AppState& state, std::vector<std::function<void(FindDialog&)>> steps);
// The find dialog that shows, or null.
FindDialog* ShownFindDialog();
// The same for a replace dialog: each step once its command waits, then Cancel.
void DriveReplaceDialog(AppState& state, std::vector<std::function<void(ReplaceDialog&)>> steps);
ReplaceDialog* ShownReplaceDialog();

// Runs `act` on the next modal window to show (polling, so a window that is slow to appear is
// still found); a window of another type is rejected so that nothing blocks.
template <class W>
void OnNextModal(std::function<void(W*)> act)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        poll->deleteLater();
        poll->stop();
        if (auto* w = qobject_cast<W*>(modal))
            act(w);
        else if (auto* d = qobject_cast<QDialog*>(modal))
            d->reject();
    });
    poll->start(10);
}

// Runs `answer` once on each modal window that shows (a real message box or dialog) while the
// result lives; `answer` closes it.
std::unique_ptr<QTimer> AnswerModals(std::function<void(QWidget&)> answer);

// Sets environment variables while it lives, then puts back what was there.
class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment();
    void Set(const char* name, const QString& value);
    void Unset(const char* name);

private:
    struct Saved {
        const char* name;
        bool had;
        QByteArray value;
    };
    void Save(const char* name);
    std::vector<Saved> saved_;
};

// A desktop of the process's own while it lives: the XDG folders lie in a scratch folder, no
// desktop session or D-Bus is named, and the search path holds only the scratch "bin" folder.
// Its one program records the argument it gets.
class ScratchDesktop {
public:
    ScratchDesktop();
    QString Folder() const { return dir_.path(); }
    // Adds the entry `id` (.desktop) that runs the recorder, in a terminal when `terminal`,
    // and makes it the default program for each of `types` ("text/plain",
    // "x-scheme-handler/mailto").
    void AddDefault(const QString& id, bool terminal, const QStringList& types);
    // Puts a terminal emulator in the search path: it runs the command it is given.
    void AddTerminal();
    // The argument the recorder got (waiting up to `waitMs` for it), then forgotten;
    // "(nothing)" when it did not run.
    std::string Recorded(int waitMs = 10000);

private:
    QTemporaryDir dir_;
    ScopedEnvironment env_;
    QString defaults_;
};

// Clicks into the box's text, its window brought to the front first, as a user does before
// typing: the box completes only while it has the focus.
void ClickInto(QComboBox* box);
// Opens the box's list, highlights line `row` and presses Return in it: a line chosen.
void ChooseFromList(QComboBox* box, int row);

// Drags the header section shown at place `from` to place `to` with the mouse, as a user does
// (press on the section, move past its neighbours, release).
void DragHeaderSection(QHeaderView* header, int from, int to);

// Chooses `item` of the field list's pop-up menu for line `row` as the user does: a right click
// on the line (the press selects it, the release opens the menu with the items that line allows),
// then a click on the item, which closes the menu and runs the command. False when the menu did
// not open or the item was disabled.
bool ChooseFieldListMenuItem(frmMain& w, int row, QAction* item);

}  // namespace quillon::test
