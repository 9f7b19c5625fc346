#include <QApplication>
#include <QTimer>

#include "app/AppState.h"
#include "app/DataFolders.h"
#include "app/frmMain.h"
#include "platform/Heap.h"
#include "platform/QtDialogs.h"
#include "platform/SpecialFolders.h"

int main(int argc, char* argv[])
{
    quillon::platform::PrepareHeapForLargeLoads();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillon"));

    quillon::AppState state;
    // The whole command line names one file ("DEBUG" names none).
    const QStringList args = QApplication::arguments().mid(1);
    const QString commandLine = args.join(QLatin1Char(' '));
    if (!commandLine.isEmpty() && commandLine != QLatin1String("DEBUG"))
        state.session.CommandLineFile = commandLine;

    quillon::platform::QtDialogs dialogs;
    quillon::platform::SystemDesktop desktop;
    // Folders that cannot be created are said by the window's load, before anything needs them.
    quillon::InitDataFolders(state.folders, quillon::platform::LocalAppDataFolder(),
                             quillon::platform::ProgramName());

    state.settings.Open(quillon::platform::SettingsStore::DefaultPath());

    quillon::frmMain window(state, dialogs, desktop);
    dialogs.setParent(&window);
    window.Form_Load();
    // Placed before it is shown, the window is put by the window manager with its frame at the
    // stored place; the outer size is set again once the frame is known.
    window.GetlastFormpos(&window, QStringLiteral("frmMain"), true);
    window.show();

    // The command-line file loads once the window is up.
    QTimer::singleShot(0, &window, [&window] { window.Form_Activate(); });
    return app.exec();
}
