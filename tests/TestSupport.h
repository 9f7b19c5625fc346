#pragma once
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/frmMain.h"
#include "platform/Dialogs.h"
#include "platform/Process.h"

namespace quillon::test {

// Writes `bytes` to `path` exactly.
void WriteBytes(const QString& path, const std::string& bytes);
std::string ReadBytes(const QString& path);

// A desktop that records what it was asked and answers as told.
class FakeDesktop : public platform::Desktop {
public:
    bool OpenDocument(const QString& verb, const QString& path) override;
    bool StartProgram(const QString& program, const QStringList& arguments) override;

    bool openSucceeds = true;
    bool startSucceeds = true;
    std::vector<QStringList> opened;   // {verb, path}
    std::vector<QStringList> started;  // {program, args...}
};

// A main window over a fresh state whose data folders lie in a scratch folder.
struct MainWindowFixture {
    MainWindowFixture();
    QTemporaryDir home;
    AppState state;
    platform::ScriptedResponder responder;
    FakeDesktop desktop;
    std::unique_ptr<frmMain> window;

    QString WriteFile(const QString& name, const std::string& bytes) const;
};

}  // namespace quillon::test
