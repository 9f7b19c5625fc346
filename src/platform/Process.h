#pragma once
// Running other programs and handing documents to the desktop. Programs always start with
// their arguments as a list, never through a shell, so a path is one argument whatever it holds.
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace quillon::platform {

// Runs `program` with no window and standard input closed, waits for it and answers its exit
// code; -1 when it cannot start, crashes, or outlives `timeoutMs` (it is then killed).
// A negative timeout waits without limit. `said`, when given, receives what it wrote to its
// standard error; `environment`, when given, is the one it runs in.
int ExecCmd(const QString& program, const QStringList& arguments, int timeoutMs = -1,
            QString* said = nullptr, const QProcessEnvironment* environment = nullptr);

// What the program asks of the desktop; tests put a recording fake in its place.
class Desktop {
public:
    virtual ~Desktop() = default;
    // Opens a document with the program the desktop associates with it ("Open" and "Edit"
    // verbs both open it). False when no program opens it or none could be started.
    virtual bool OpenDocument(const QString& verb, const QString& path) = 0;
    // Starts a program on its own (not waited for). False when it cannot start.
    virtual bool StartProgram(const QString& program, const QStringList& arguments) = 0;
};

// The desktop of this machine: a document or address opens with the desktop's default program
// for its type (as GIO finds and starts it), a program starts on its own.
class SystemDesktop : public Desktop {
public:
    bool OpenDocument(const QString& verb, const QString& path) override;
    bool StartProgram(const QString& program, const QStringList& arguments) override;
};

}  // namespace quillon::platform
