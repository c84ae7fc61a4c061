#include "core/platform/privileges.h"

#include "core/platform/platformlog.h"

#include <QProcess>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

// pkexec's own verdicts; the script below always exits 0 itself, so these cannot come from it.
constexpr int pkexecDismissed = 126;
constexpr int pkexecNotAuthorised = 127;

// What sh reports for a command it could not run.
constexpr int shellNotExecutable = 126;
constexpr int shellNotFound = 127;

bool runningAsRoot()
{
#ifdef Q_OS_UNIX
    return geteuid() == 0;
#else
    return false;
#endif
}

class PkexecPrivilegeLayer final : public PrivilegeLayer
{
public:
    PkexecPrivilegeLayer(QString program, bool directAsRoot)
        : m_program(std::move(program))
        , m_directAsRoot(directAsRoot)
    {}

    PrivilegedRun runAsAdministrator(const QList<PrivilegedCommand> &commands) override
    {
        if (m_directAsRoot && runningAsRoot())
            return runDirectly(commands);

        const PkexecCall call = pkexecCall(commands);
        QProcess process;
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(m_program, call.arguments);
        if (!process.waitForStarted(-1)) {
            qCWarning(lcPlatform) << "cannot run" << m_program << process.errorString();
            return pkexecResult(false, -1, {}, commands.size());
        }
        // Waits through the password prompt and the commands; the user interface is meant to be held meanwhile.
        process.waitForFinished(-1);
        const int exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        const QByteArray errors = process.readAllStandardError().trimmed();
        if (!errors.isEmpty())
            qCWarning(lcPlatform).noquote() << QString::fromLocal8Bit(errors);
        return pkexecResult(true, exitCode, process.readAllStandardOutput(), commands.size());
    }

private:
    QString m_program;
    bool m_directAsRoot;
};

} // namespace

PrivilegedRun runDirectly(const QList<PrivilegedCommand> &commands)
{
    PrivilegedRun run{Authorisation::Granted, {}};
    for (const PrivilegedCommand &command : commands) {
        QProcess process;
        process.setStandardInputFile(QProcess::nullDevice());
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(command.program, command.arguments);
        CommandOutcome outcome;
        if (process.waitForStarted(-1)) {
            outcome.started = true;
            process.waitForFinished(-1);
            outcome.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        } else {
            qCWarning(lcPlatform) << "cannot run" << command.program << process.errorString();
        }
        run.outcomes.append(outcome);
    }
    return run;
}

PkexecCall pkexecCall(const QList<PrivilegedCommand> &commands)
{
    // One line per command: its words as quoted positional parameters, its output moved to stderr so that
    // stdout carries nothing but the exit statuses we read back.
    QStringList lines;
    int position = 0;
    for (const PrivilegedCommand &command : commands) {
        QStringList words;
        for (qsizetype i = 0; i <= command.arguments.size(); ++i)
            words << u"\"${%1}\""_s.arg(++position);
        lines << words.join(u' ') + u" 1>&2; echo \"$?\""_s;
    }
    lines << u"exit 0"_s;

    QStringList arguments{u"/bin/sh"_s, u"-c"_s, lines.join(u'\n'), u"sh"_s};
    for (const PrivilegedCommand &command : commands)
        arguments << command.program << command.arguments;
    return {u"pkexec"_s, arguments};
}

PrivilegedRun pkexecResult(bool started, int exitCode, const QByteArray &output, qsizetype commandCount)
{
    if (!started)
        return {Authorisation::Unavailable, {}};
    if (exitCode == pkexecDismissed)
        return {Authorisation::Refused, {}};
    if (exitCode == pkexecNotAuthorised)
        return {Authorisation::NotAuthorised, {}};

    PrivilegedRun run{Authorisation::Granted, {}};
    const QList<QByteArray> statuses = output.split('\n');
    for (qsizetype i = 0; i < commandCount; ++i) {
        CommandOutcome outcome;
        bool ok = false;
        // A missing or unreadable line means the script died before that command finished.
        const int status = i < statuses.size() ? statuses.at(i).trimmed().toInt(&ok) : 0;
        if (ok && status != shellNotExecutable && status != shellNotFound) {
            outcome.started = true;
            outcome.exitCode = status;
        }
        run.outcomes.append(outcome);
    }
    return run;
}

std::unique_ptr<PrivilegeLayer> makePkexecPrivilegeLayer()
{
    return std::make_unique<PkexecPrivilegeLayer>(u"pkexec"_s, true);
}

std::unique_ptr<PrivilegeLayer> makePkexecLayer(const QString &pkexecProgram)
{
    return std::make_unique<PkexecPrivilegeLayer>(pkexecProgram, false);
}

} // namespace velvane
