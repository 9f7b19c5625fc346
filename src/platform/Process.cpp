#include "platform/Process.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

namespace quillon::platform {

namespace {

// How long one question to the desktop's tools may take.
constexpr int kQueryLimitMs = 5000;

// What `program` prints when it ends well within the limit; empty otherwise.
QString OutputOf(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForFinished(kQueryLimitMs)) {
        process.kill();
        process.waitForFinished(1000);
        return {};
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

// The type xdg-open chooses the program by: x-scheme-handler/<scheme> for an address such as
// mailto: or https:, the content type for a file.
QString DesktopTypeOf(const QString& xdgMime, const QString& target)
{
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):"));
    const QRegularExpressionMatch m = scheme.match(target);
    QString path = target;
    if (m.hasMatch()) {
        if (m.captured(1).compare(QLatin1String("file"), Qt::CaseInsensitive) != 0)
            return QStringLiteral("x-scheme-handler/") + m.captured(1).toLower();
        path = QUrl(target).toLocalFile();
    }
    if (!QFile::exists(path))
        return {};
    return OutputOf(xdgMime, {QStringLiteral("query"), QStringLiteral("filetype"), path})
        .section(QLatin1Char(';'), 0, 0)
        .trimmed();
}

// The program named first on the Exec line of a desktop entry file.
QString ExecProgram(const QString& desktopFile)
{
    QFile file(desktopFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    bool inEntry = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inEntry = line == QLatin1String("[Desktop Entry]");
        else if (inEntry && line.startsWith(QLatin1String("Exec="))) {
            const QString exec = line.mid(5).trimmed();
            if (exec.startsWith(QLatin1Char('"')))
                return exec.mid(1).section(QLatin1Char('"'), 0, 0);
            return exec.section(QLatin1Char(' '), 0, 0);
        }
    }
    return {};
}

// True when the desktop entry `id` is installed in an applications folder (as vendor-app.desktop
// or vendor/app.desktop) and the program it starts is there.
bool DesktopEntryRuns(const QString& id)
{
    QStringList names{id};
    if (const qsizetype dash = id.indexOf(QLatin1Char('-')); dash > 0)
        names << QString(id).replace(dash, 1, QLatin1Char('/'));
    for (const QString& name : names) {
        const QString file = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, name);
        if (file.isEmpty())
            continue;
        const QString program = ExecProgram(file);
        if (!program.isEmpty() && !QStandardPaths::findExecutable(program).isEmpty())
            return true;
    }
    return false;
}

// True when the desktop names a program for the document or address that is there to start:
// the question xdg-open itself asks (xdg-mime), so that a document no program opens is told
// to the user rather than handed to an opener whose failure nobody sees.
bool DesktopHasOpener(const QString& target)
{
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        return false;
    const QString type = DesktopTypeOf(xdgMime, target);
    if (type.isEmpty())
        return false;
    const QString id =
        OutputOf(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), type})
            .section(QLatin1Char(';'), 0, 0)
            .trimmed();
    return !id.isEmpty() && DesktopEntryRuns(id);
}

}  // namespace

int ExecCmd(const QString& program, const QStringList& arguments, int timeoutMs, QString* said)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    if (said)
        said->clear();
    else
        process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForStarted(-1))
        return -1;
    if (!process.waitForFinished(timeoutMs < 0 ? -1 : timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        return -1;
    }
    if (said)
        *said = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    if (process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

bool SystemDesktop::OpenDocument(const QString& verb, const QString& path)
{
    (void)verb;  // the desktop has one way to open a document for both verbs
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty() || !DesktopHasOpener(path))
        return false;
    return QProcess::startDetached(opener, {path});
}

bool SystemDesktop::StartProgram(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

}  // namespace quillon::platform
