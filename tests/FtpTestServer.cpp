#include "FtpTestServer.h"

#include <signal.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace quillon::test {

namespace {

// Arguments: root, port (0 picks one), then name:permissions:password for each user. Prints the
// bound port on its first line.
const char kScript[] = R"PY(
import logging, os, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
logging.disable(logging.CRITICAL)
root, port = sys.argv[1], int(sys.argv[2])
authorizer = DummyAuthorizer()
for entry in sys.argv[3:]:
    name, perm, password = entry.split(':', 2)
    authorizer.add_user(name, password, root, perm=perm)
class Handler(FTPHandler):
    pass
Handler.authorizer = authorizer
Handler.auth_failed_timeout = 0
if os.environ.get('FTP_NO_MLSD'):
    Handler.proto_cmds = {k: v for k, v in FTPHandler.proto_cmds.items() if k not in ('MLSD', 'MLST')}
if os.environ.get('FTP_SEND_LIMIT'):
    from pyftpdlib.handlers import ThrottledDTPHandler
    class Throttled(ThrottledDTPHandler):
        write_limit = int(os.environ['FTP_SEND_LIMIT'])
    Handler.dtp_handler = Throttled
if os.environ.get('FTP_LF_ONLY'):
    from pyftpdlib.filesystems import AbstractedFS
    class LfOnly(AbstractedFS):
        def format_list(self, *args, **kwargs):
            return (line[:-2] + b'\n' for line in AbstractedFS.format_list(self, *args, **kwargs))
        def format_mlsx(self, *args, **kwargs):
            return (line[:-2] + b'\n' for line in AbstractedFS.format_mlsx(self, *args, **kwargs))
    Handler.abstracted_fs = LfOnly
server = FTPServer(('127.0.0.1', port), Handler)
print(server.address[1], flush=True)
server.serve_forever()
)PY";

}  // namespace

FtpTestServer::FtpTestServer()
{
    QFile script(scratch_.filePath(QStringLiteral("ftpserver.py")));
    if (script.open(QIODevice::WriteOnly)) script.write(kScript);
}

FtpTestServer::~FtpTestServer() { Stop(); }

bool FtpTestServer::Start()
{
    return Start({User{QStringLiteral("user"), QStringLiteral("secret")}});
}

bool FtpTestServer::Start(std::vector<User> users)
{
    users_ = std::move(users);
    return Launch(0);
}

bool FtpTestServer::Restart()
{
    Stop();
    // The port was just freed; a few tries cover a slow release.
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (Launch(port_)) return true;
        QThread::msleep(100);
    }
    return false;
}

bool FtpTestServer::Launch(int port)
{
    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::SeparateChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!mlsd) env.insert(QStringLiteral("FTP_NO_MLSD"), QStringLiteral("1"));
    if (lfOnly) env.insert(QStringLiteral("FTP_LF_ONLY"), QStringLiteral("1"));
    if (sendLimit > 0) env.insert(QStringLiteral("FTP_SEND_LIMIT"), QString::number(sendLimit));
    process_->setProcessEnvironment(env);
    QStringList args{scratch_.filePath(QStringLiteral("ftpserver.py")), root_.path(),
                     QString::number(port)};
    for (const User& u : users_) args << u.name + QLatin1Char(':') + u.permissions + QLatin1Char(':') + u.password;
    process_->start(QStringLiteral("/usr/bin/python3"), args);
    if (!process_->waitForStarted(5000)) {
        error_ = process_->errorString();
        process_.reset();
        return false;
    }
    pid_ = process_->processId();
    QDeadlineTimer deadline(15000);
    while (!process_->canReadLine() && !deadline.hasExpired() &&
           process_->state() == QProcess::Running)
        process_->waitForReadyRead(200);
    const int bound = QString::fromLatin1(process_->readLine()).trimmed().toInt();
    if (bound <= 0) {
        error_ = QString::fromLocal8Bit(process_->readAllStandardError());
        Stop();
        return false;
    }
    port_ = bound;
    return true;
}

void FtpTestServer::Stop()
{
    if (!process_) return;
    if (process_->state() != QProcess::NotRunning && pid_ > 0) {
        ::kill(static_cast<pid_t>(pid_), SIGKILL);
        process_->waitForFinished(5000);
    }
    process_.reset();
    pid_ = 0;
}

bool FtpTestServer::Running() const { return process_ && process_->state() == QProcess::Running; }

QString FtpTestServer::WriteFile(const QString& relative, const QByteArray& bytes) const
{
    const QString path = root_.filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
    return path;
}

QByteArray FtpTestServer::ReadFile(const QString& relative) const
{
    QFile f(root_.filePath(relative));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool FtpTestServer::Exists(const QString& relative) const
{
    return QFileInfo::exists(root_.filePath(relative));
}

void FtpTestServer::MakeDir(const QString& relative) const { QDir().mkpath(root_.filePath(relative)); }

}  // namespace quillon::test
