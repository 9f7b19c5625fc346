#pragma once
// A throwaway FTP server for tests and benchmarks: pyftpdlib under /usr/bin/python3, on
// 127.0.0.1 only, serving a scratch folder to the users given, on a port it picks. It can be
// stopped by its process id (as a crash would) and started again on the same port.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <vector>

namespace quillon::test {

class FtpTestServer {
public:
    struct User {
        QString name;
        QString password;
        QString permissions = QStringLiteral("elradfmwMT");  // pyftpdlib's: everything
    };

    FtpTestServer();
    ~FtpTestServer();

    // Starts the server for these users (default: "user" / "secret"); false, with Error(), when
    // it did not come up within 15 s.
    bool Start();
    bool Start(std::vector<User> users);
    // Kills the server process by its id and waits (bounded) until it is gone.
    void Stop();
    // Starts it again on the same port with the same users.
    bool Restart();

    // False before Start: the server answers MLSD with 500, so clients list with LIST.
    bool mlsd = true;
    // Listing lines end with LF alone instead of CR LF.
    bool lfOnly = false;
    // Bytes per second the server sends at most (0: no limit), so a test can act mid-transfer.
    qint64 sendLimit = 0;

    bool Running() const;
    int Port() const { return port_; }
    qint64 Pid() const { return pid_; }
    QString Root() const { return root_.path(); }
    QString Error() const { return error_; }

    // Files and folders under the served root; `relative` uses "/".
    QString WriteFile(const QString& relative, const QByteArray& bytes) const;
    QByteArray ReadFile(const QString& relative) const;
    bool Exists(const QString& relative) const;
    void MakeDir(const QString& relative) const;

private:
    bool Launch(int port);

    QTemporaryDir scratch_;  // the script
    QTemporaryDir root_;     // the served folder
    std::vector<User> users_;
    std::unique_ptr<QProcess> process_;
    int port_ = 0;
    qint64 pid_ = 0;
    QString error_;
};

}  // namespace quillon::test
