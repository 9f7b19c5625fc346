#include "platform/Process.h"

#include <QProcess>
#include <QStandardPaths>

namespace quillon::platform {

int ExecCmd(const QString& program, const QStringList& arguments, int timeoutMs)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForStarted(-1))
        return -1;
    if (!process.waitForFinished(timeoutMs < 0 ? -1 : timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        return -1;
    }
    if (process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

bool SystemDesktop::OpenDocument(const QString& verb, const QString& path)
{
    (void)verb;  // the desktop has one way to open a document for both verbs
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return false;
    return QProcess::startDetached(opener, {path});
}

bool SystemDesktop::StartProgram(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

}  // namespace quillon::platform
