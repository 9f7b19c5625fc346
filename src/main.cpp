#include <QApplication>
#include <QTimer>

#include "app/AppState.h"
#include "app/DataFolders.h"
#include "app/frmMain.h"
#include "platform/QtDialogs.h"
#include "platform/SpecialFolders.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillon"));

    quillon::AppState state;
    const QStringList args = QApplication::arguments();
    if (args.size() > 1)
        state.session.CommandLineFile = args.at(1);

    quillon::platform::QtDialogs dialogs;
    quillon::platform::SystemDesktop desktop;
    const QStringList failed = quillon::InitDataFolders(
        state.folders, quillon::platform::LocalAppDataFolder(), quillon::platform::ProgramName());

    quillon::frmMain window(state, dialogs, desktop);
    dialogs.setParent(&window);
    window.LoadDescriptionFiles();
    window.show();
    if (!failed.isEmpty())
        dialogs.MsgBox(QStringLiteral("These data folders could not be created:\r\n")
                           + failed.join(QStringLiteral("\r\n")),
                       quillon::platform::MsgButtons::OKOnly,
                       quillon::platform::MsgIcon::Exclamation,
                       QStringLiteral("Data Folders"));

    // The command-line file loads once, after the window is first shown.
    if (!state.session.CommandLineFile.isEmpty())
        QTimer::singleShot(0, &window, [&] { window.LoadHL7File(state.session.CommandLineFile); });
    return app.exec();
}
