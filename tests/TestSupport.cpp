#include "TestSupport.h"

#include <QFile>
#include <stdexcept>

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

MainWindowFixture::MainWindowFixture()
{
    InitDataFolders(state.folders, home.path(), QStringLiteral("quillon"));
    window = std::make_unique<frmMain>(state, responder, desktop);
}

QString MainWindowFixture::WriteFile(const QString& name, const std::string& bytes) const
{
    const QString path = home.filePath(name);
    WriteBytes(path, bytes);
    return path;
}

}  // namespace quillon::test
