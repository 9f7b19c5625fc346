// GLib names a struct member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

#include "platform/Process.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QUrl>

namespace quillon::platform {

namespace {

// Frees a GLib object on every way out.
template <typename T>
struct GObjectPtr {
    T* p = nullptr;
    explicit GObjectPtr(T* object) : p(object) {}
    ~GObjectPtr()
    {
        if (p)
            g_object_unref(p);
    }
    GObjectPtr(const GObjectPtr&) = delete;
    GObjectPtr& operator=(const GObjectPtr&) = delete;
};

// Starts the desktop's default program for `target`: the handler of its scheme for an address
// such as mailto: or https:, the handler of its content type for a file. The program is the
// one GIO names and starts, so the question and the start agree. A handler that runs in a
// terminal (Terminal=true) fails to start when no terminal emulator is installed, and counts
// as none, so the caller's message shows instead of nothing happening.
bool LaunchDefaultHandler(const QString& target)
{
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):"));
    const QRegularExpressionMatch m = scheme.match(target);
    QString path = target;
    if (m.hasMatch()) {
        if (m.captured(1).compare(QLatin1String("file"), Qt::CaseInsensitive) != 0) {
            const QByteArray name = m.captured(1).toLower().toUtf8();
            GObjectPtr<GAppInfo> app(g_app_info_get_default_for_uri_scheme(name.constData()));
            if (!app.p)
                return false;
            const QByteArray uri = target.toUtf8();
            GList uris{const_cast<char*>(uri.constData()), nullptr, nullptr};
            return g_app_info_launch_uris(app.p, &uris, nullptr, nullptr);
        }
        path = QUrl(target).toLocalFile();
    }
    if (!QFile::exists(path))
        return false;
    GObjectPtr<GFile> file(g_file_new_for_path(QFile::encodeName(path).constData()));
    GObjectPtr<GFileInfo> info(g_file_query_info(file.p, G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE,
                                                 G_FILE_QUERY_INFO_NONE, nullptr, nullptr));
    const char* type = info.p ? g_file_info_get_content_type(info.p) : nullptr;
    if (!type)
        return false;
    GObjectPtr<GAppInfo> app(g_app_info_get_default_for_type(type, FALSE));
    if (!app.p)
        return false;
    GList files{file.p, nullptr, nullptr};
    return g_app_info_launch(app.p, &files, nullptr, nullptr);
}

}  // namespace

int ExecCmd(const QString& program, const QStringList& arguments, int timeoutMs, QString* said,
            const QProcessEnvironment* environment)
{
    QProcess process;
    if (environment)
        process.setProcessEnvironment(*environment);
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
    return LaunchDefaultHandler(path);
}

bool SystemDesktop::StartProgram(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

}  // namespace quillon::platform
