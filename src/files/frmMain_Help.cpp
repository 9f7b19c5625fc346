// The Help menu: the manual, technical support and the About window.
#include <QFile>

#include "app/frmMain.h"
#include "files/Manual.h"
#include "files/frmAbout.h"
#include "files/frmTechSupport.h"
#include "platform/FileIO.h"

namespace quillon {

namespace {
const QString kManualName = QStringLiteral("Manual.pdf");
// The manual built into the program (made from docs/manual.md when the program is built).
const QString kBuiltInManual = QStringLiteral(":/doc/Manual.pdf");
}  // namespace

bool InstallManual(const QString& documentationFolder)
{
    QFile builtIn(kBuiltInManual);
    if (!builtIn.open(QIODevice::ReadOnly))
        return false;
    const QByteArray shipped = builtIn.readAll();
    const QString target = documentationFolder + kManualName;
    QFile installed(target);
    if (installed.size() == shipped.size() && installed.open(QIODevice::ReadOnly)
        && installed.readAll() == shipped)
        return true;
    installed.close();
    // Put in place whole or not at all, so a failed update leaves the manual that was there.
    if (!platform::WriteFileWhole(target, std::string_view(shipped.constData(),
                                                           static_cast<size_t>(shipped.size()))))
        return false;
    // Readable by all, as documentation is.
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                      QFile::ReadOther);
    return true;
}

void frmMain::mnuHelpContents_Click()
{
    if (desktop.OpenDocument(QStringLiteral("Open"), st.folders.DocumentationFolder + kManualName))
        return;
    dlg.MsgBox(QStringLiteral("Could not find a PDF viewer.\r\n\r\n"
                              "Please verify that Adobe Acrobat Reader is installed and that the "
                              ".pdf extension is associated with the Reader."),
               platform::MsgButtons::OKOnly, platform::MsgIcon::Critical,
               QStringLiteral("Can't Find PDF Viewer"));
}

void frmMain::mnuHelpTechSupport_Click()
{
    frmTechSupport window(desktop, this);
    window.exec();
}

void frmMain::mnuHelpAbout_Click()
{
    frmAbout window(st, dlg, desktop, [this] { SetMenuAndToolbarState(); }, this);
    window.exec();
}

}  // namespace quillon
