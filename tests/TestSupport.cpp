// GLib names a struct member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <deque>
#include <stdexcept>

#include "BackgroundSupport.h"
#include "editing/FindDialog.h"
#include "editing/frmReplaceInRecordList.h"

namespace quillon::test {

void WriteBytes(const QString& path, const std::string& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write " + path.toStdString());
    f.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

std::string ReadBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = f.readAll();
    return std::string(data.constData(), static_cast<size_t>(data.size()));
}

ScopedEnvironment::~ScopedEnvironment()
{
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
        it->had ? qputenv(it->name, it->value) : qunsetenv(it->name);
}

void ScopedEnvironment::Set(const char* name, const QString& value)
{
    Save(name);
    qputenv(name, value.toLocal8Bit());
}

void ScopedEnvironment::Unset(const char* name)
{
    Save(name);
    qunsetenv(name);
}

void ScopedEnvironment::Save(const char* name)
{
    saved_.push_back({name, qEnvironmentVariableIsSet(name), qgetenv(name)});
}

ScratchDesktop::ScratchDesktop()
{
    for (const char* folder : {"bin", "config", "data/applications", "data-dirs"})
        QDir().mkpath(dir_.filePath(QLatin1String(folder)));
    // The system's file types, but none of its programs.
    QFile::link(QStringLiteral("/usr/share/mime"), dir_.filePath(QStringLiteral("data-dirs/mime")));
    const QString recorder = dir_.filePath(QStringLiteral("bin/recorder"));
    // Only the shell's own commands: the search path holds nothing else. The mark says the
    // argument is written whole.
    const std::string record = dir_.filePath(QStringLiteral("recorded")).toStdString();
    WriteBytes(recorder, "#!/bin/sh\nprintf '%s' \"$1\" > '" + record + "'\n: > '" + record + ".done'\n");
    QFile::setPermissions(recorder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    env_.Set("XDG_CONFIG_HOME", dir_.filePath(QStringLiteral("config")));
    env_.Set("XDG_CONFIG_DIRS", dir_.filePath(QStringLiteral("config-dirs")));
    env_.Set("XDG_DATA_HOME", dir_.filePath(QStringLiteral("data")));
    env_.Set("XDG_DATA_DIRS", dir_.filePath(QStringLiteral("data-dirs")));
    env_.Set("PATH", dir_.filePath(QStringLiteral("bin")));
    env_.Set("DBUS_SESSION_BUS_ADDRESS", QStringLiteral("unix:path=/nonexistent/quillon-test-bus"));
    for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                             "GNOME_DESKTOP_SESSION_ID", "BROWSER"})
        env_.Unset(name);
}

void ScratchDesktop::AddDefault(const QString& id, bool terminal, const QStringList& types)
{
    WriteBytes(dir_.filePath(QStringLiteral("data/applications/") + id),
               "[Desktop Entry]\nType=Application\nName=Recorder\nExec="
                   + dir_.filePath(QStringLiteral("bin/recorder")).toStdString() + " %u\nTerminal="
                   + (terminal ? "true" : "false") + "\n");
    for (const QString& type : types)
        defaults_ += type + QLatin1Char('=') + id + QLatin1Char('\n');
    WriteBytes(dir_.filePath(QStringLiteral("config/mimeapps.list")),
               "[Default Applications]\n" + defaults_.toStdString());
    // The program sees a changed association once its event loop has passed the change on.
    const auto isDefault = [&id](const QString& type) {
        GAppInfo* app = type.startsWith(QLatin1String("x-scheme-handler/"))
                            ? g_app_info_get_default_for_uri_scheme(type.mid(17).toUtf8().constData())
                            : g_app_info_get_default_for_type(type.toUtf8().constData(), FALSE);
        const bool is = app && QString::fromUtf8(g_app_info_get_id(app)) == id;
        if (app)
            g_object_unref(app);
        return is;
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return std::all_of(types.begin(), types.end(), isDefault); }, 5000));
}

void ScratchDesktop::AddTerminal()
{
    const QString terminal = dir_.filePath(QStringLiteral("bin/xterm"));
    WriteBytes(terminal, "#!/bin/sh\n[ \"$1\" = -e ] && shift\nexec \"$@\"\n");
    QFile::setPermissions(terminal, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

std::string ScratchDesktop::Recorded(int waitMs)
{
    const QString record = dir_.filePath(QStringLiteral("recorded"));
    const QString done = record + QStringLiteral(".done");
    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(done) && waited.elapsed() < waitMs)
        QTest::qWait(20);
    std::string got = QFile::exists(done) ? ReadBytes(record) : std::string("(nothing)");
    QFile::remove(record);
    QFile::remove(done);
    return got;
}

bool FakeDesktop::OpenDocument(const QString& verb, const QString& path)
{
    opened.push_back({verb, path});
    return openSucceeds;
}

bool FakeDesktop::StartProgram(const QString& program, const QStringList& arguments)
{
    started.push_back(QStringList{program} + arguments);
    return startSucceeds;
}

MainWindowFixture::MainWindowFixture(platform::Dialogs* dialogs)
{
    InitDataFolders(state.folders, home.path(), QStringLiteral("quillon"));
    window = std::make_unique<frmMain>(state, dialogs ? *dialogs : responder, desktop);
}

FullFolder::FullFolder(int kib)
{
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no scratch folder");
        return;
    }
    const QByteArray path = QFile::encodeName(dir_.path());
    if (unshare(CLONE_NEWNS) != 0)
        error_ = QStringLiteral("no mount namespace of its own");
    // A mount made in the thread's own namespace must not reach the one it came from.
    else if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        error_ = QStringLiteral("mounts not made private");
    else if (mount("tmpfs", path.constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                   QByteArray("size=" + QByteArray::number(kib) + "k,mode=0700").constData())
             != 0)
        error_ = QStringLiteral("no small file system");
    else {
        mounted_ = true;
        return;
    }
    error_ += QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

FullFolder::~FullFolder()
{
    if (mounted_)
        umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
}

void FullFolder::Fill(qint64 room)
{
    const QString folder = FilePath(QStringLiteral(".fill"));
    QDir().mkpath(folder);
    const QByteArray path = QFile::encodeName(folder + "/" + QString::number(++fills_));
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    static const std::string zeros(4096, '\0');
    for (;;) {
        struct statvfs fs {};
        if (fstatvfs(fd, &fs) != 0
            || static_cast<qint64>(fs.f_bavail) * static_cast<qint64>(fs.f_frsize) <= room)
            break;
        if (::write(fd, zeros.data(), zeros.size()) <= 0)
            break;
    }
    ::close(fd);
}

void ExpectSaveStaysInTheTempFolder(MainWindowFixture& f)
{
    const QString current = f.state.session.CurrentFileName;
    EXPECT_EQ(QFileInfo(QDir::cleanPath(current)).absolutePath().toStdString(),
              QDir::cleanPath(f.state.folders.TempFolder).toStdString());
    const size_t asked = f.responder.fileDialogs().size();
    f.responder.QueueFiles({});  // Cancel
    EXPECT_TRUE(ChooseMenuItem(f.window->mnuFileSaveNow));
    EXPECT_EQ(f.responder.fileDialogs().size(), asked + 1);
    EXPECT_FALSE(QFileInfo::exists(f.state.folders.DataRoot + QStringLiteral("../escaped.dat")));
    EXPECT_FALSE(QFileInfo::exists(current));
}

QString MainWindowFixture::WriteFile(const QString& name, const std::string& bytes) const
{
    const QString path = home.filePath(name);
    WriteBytes(path, bytes);
    return path;
}

FindDialog* ShownFindDialog()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<FindDialog*>(w); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

std::unique_ptr<QTimer> AnswerModals(std::function<void(QWidget&)> answer)
{
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(1);
    auto answered = std::make_shared<QPointer<QWidget>>();
    QObject::connect(timer.get(), &QTimer::timeout, [answer = std::move(answer), answered] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == *answered)
            return;
        *answered = modal;
        answer(*modal);
    });
    timer->start();
    return timer;
}

void ClickInto(QComboBox* box)
{
    box->window()->activateWindow();
    QApplication::processEvents();
    QTest::mouseClick(box->lineEdit(), Qt::LeftButton);
}

void ChooseFromList(QComboBox* box, int row)
{
    box->showPopup();
    QAbstractItemView* list = box->view();
    list->setCurrentIndex(list->model()->index(row, box->modelColumn()));
    QTest::keyClick(list, Qt::Key_Return);
}

void DragHeaderSection(QHeaderView* header, int from, int to)
{
    QWidget* viewport = header->viewport();
    auto at = [&](int place, int x) {
        return QPoint(header->sectionViewportPosition(header->logicalIndex(place)) + x,
                      viewport->height() / 2);
    };
    const QPoint start = at(from, header->sectionSize(header->logicalIndex(from)) / 2);
    // Past the middle of the section at the target place, on the side the section comes from.
    const QPoint end = to > from ? at(to, header->sectionSize(header->logicalIndex(to)) - 2) : at(to, 2);
    auto send = [&](QEvent::Type type, const QPoint& p, Qt::MouseButtons buttons) {
        QMouseEvent e(type, p, viewport->mapToGlobal(p), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(viewport, &e);
    };
    send(QEvent::MouseButtonPress, start, Qt::LeftButton);
    send(QEvent::MouseMove, (start + end) / 2, Qt::LeftButton);
    send(QEvent::MouseMove, end, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, end, Qt::NoButton);
}

ReplaceDialog* ShownReplaceDialog()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<ReplaceDialog*>(w); dialog && dialog->isVisible())
            return dialog;
    return nullptr;
}

void DriveReplaceDialog(AppState& state, std::vector<std::function<void(ReplaceDialog&)>> steps)
{
    auto* timer = new QTimer;
    auto queue = std::make_shared<std::deque<std::function<void(ReplaceDialog&)>>>(steps.begin(), steps.end());
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(1);
    // The dialog of the last step; it stays null once that dialog is gone.
    auto worked = std::make_shared<QPointer<ReplaceDialog>>();
    auto stepped = std::make_shared<bool>(false);
    QObject::connect(timer, &QTimer::timeout, [timer, queue, clock, worked, stepped, &state] {
        ReplaceDialog* dialog = ShownReplaceDialog();
        const bool late = clock->elapsed() > 10000;
        // Done with its own command: a dialog of a later one is not this driver's.
        if (!dialog || (queue->empty() && *stepped && dialog != *worked)) {
            if (queue->empty() || late) {
                timer->stop();
                timer->deleteLater();
            }
            return;
        }
        if (state.search.SearchDialogDone)
            return;
        if (queue->empty() || late) {
            queue->clear();
            dialog->cmdCommand[1]->click();
            return;
        }
        const auto step = queue->front();
        queue->pop_front();
        *worked = dialog;
        *stepped = true;
        step(*dialog);
    });
    timer->start();
}

void DriveFindDialog(AppState& state, std::vector<std::function<void(FindDialog&)>> steps)
{
    auto* timer = new QTimer;
    auto queue = std::make_shared<std::deque<std::function<void(FindDialog&)>>>(steps.begin(),
                                                                                  steps.end());
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(1);
    auto watching = std::make_shared<QPointer<FindDialog>>();
    QObject::connect(timer, &QTimer::timeout, [timer, queue, clock, watching, &state] {
        FindDialog* dialog = ShownFindDialog();
        const bool late = clock->elapsed() > 10000;
        if (!dialog) {
            // Before the first step the command has not shown its dialog yet; after the last
            // one the command has ended.
            if (queue->empty() || late) {
                timer->stop();
                timer->deleteLater();
            }
            return;
        }
        if (*watching != dialog) {
            // A cancellation ends the command: this driver stops with it, so it never works a
            // dialog that a later command shows.
            *watching = dialog;
            QObject::connect(dialog, &FindDialog::Done, timer, [timer, &state] {
                if (state.search.FindText.empty()) {
                    timer->stop();
                    timer->deleteLater();
                }
            });
        }
        if (state.search.SearchDialogDone)
            return;
        if (queue->empty() || late) {
            queue->clear();
            dialog->cmdCommand[1]->click();
            return;
        }
        const auto step = queue->front();
        queue->pop_front();
        step(*dialog);
    });
    timer->start();
}

bool ChooseFieldListMenuItem(frmMain& w, int row, QAction* item)
{
    ListBox* list = w.lstFields;
    list->scrollToItem(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::RightButton, {},
                      list->visualItemRect(list->item(row)).center());
    const bool enabled = w.mnuFieldList->isVisible() && item->isEnabled();
    w.mnuFieldList->hide();
    if (enabled)
        item->trigger();
    return enabled;
}

}  // namespace quillon::test
