#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace velvane {

struct PrivilegedCommand
{
    QString program; // absolute, since a root environment has no trustworthy PATH
    QStringList arguments;

    friend bool operator==(const PrivilegedCommand &, const PrivilegedCommand &) = default;
};

struct CommandOutcome
{
    bool started = false;
    int exitCode = -1;

    [[nodiscard]] bool succeeded() const { return started && exitCode == 0; }
};

enum class Authorisation
{
    Granted,
    Refused,       // the user dismissed the password prompt
    NotAuthorised, // wrong password, or no authorisation service at all
    Unavailable,   // this platform or set-up has no way to become administrator
};

struct PrivilegedRun
{
    Authorisation authorisation = Authorisation::Unavailable;
    QList<CommandOutcome> outcomes; // one per command, in order; empty unless granted
};

// Becomes administrator at most once per call, asking the user if need be, then runs the commands in order,
// each one waited for before the next starts. Blocks the calling thread throughout.
class PrivilegeLayer
{
public:
    virtual ~PrivilegeLayer() = default;
    [[nodiscard]] virtual PrivilegedRun runAsAdministrator(const QList<PrivilegedCommand> &commands) = 0;
};

// The real layer for this platform.
[[nodiscard]] std::unique_ptr<PrivilegeLayer> makeSystemPrivilegeLayer();

// For a process that already is root: no prompt, just run them.
[[nodiscard]] PrivilegedRun runDirectly(const QList<PrivilegedCommand> &commands);

// The one pkexec call that runs all commands, so the password is asked once. The shell script is built from
// the number of words alone; every word, the program paths included, goes in as its own argument.
struct PkexecCall
{
    QString program;
    QStringList arguments;
};
[[nodiscard]] PkexecCall pkexecCall(const QList<PrivilegedCommand> &commands);

// Reads pkexec's exit status and the script's output (one exit status per command that ran) into a result.
[[nodiscard]] PrivilegedRun pkexecResult(bool started, int exitCode, const QByteArray &output, qsizetype commandCount);

// The pkexec layer, or the direct run when already root.
[[nodiscard]] std::unique_ptr<PrivilegeLayer> makePkexecPrivilegeLayer();

// Always asks through the given pkexec, even as root, so the prompt's answers can be played without root rights.
[[nodiscard]] std::unique_ptr<PrivilegeLayer> makePkexecLayer(const QString &pkexecProgram);

} // namespace velvane
