#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Runs of velvane-split, and stand-ins for the splitter that misbehave on purpose.
namespace velvane::test {

struct ToolRun
{
    int exitCode = -1; // -1: it did not start, crashed or took over two minutes
    QByteArray out;
    QByteArray err;
};

// Runs program in folder (the current one when empty), with VELVANE_MP3SPLT set to splitter unless that is empty.
[[nodiscard]] ToolRun runTool(const QString &program, const QStringList &arguments, const QString &folder = {},
                              const QString &splitter = {});

#ifdef VELVANE_SPLIT_BINARY
[[nodiscard]] inline ToolRun runSplit(const QStringList &arguments, const QString &folder = {},
                                      const QString &splitter = {})
{
    return runTool(QStringLiteral(VELVANE_SPLIT_BINARY), arguments, folder, splitter);
}
#endif

// Writes folder/splitter, a shell script of code run with the splitter's arguments in its work folder, and gives
// its path. In code, REAL runs the real splitter (VELVANE_MP3SPLT now) with those arguments; EACH_PIECE ...
// END_EACH runs its code for each piece the real splitter announces, with the piece's name in $f, before the
// announcement passes on.
[[nodiscard]] QString standInSplitter(const QString &folder, QByteArray code);

// Points VELVANE_MP3SPLT at program until destroyed.
class SplitterOverride
{
public:
    explicit SplitterOverride(const QString &program);
    ~SplitterOverride();
    SplitterOverride(const SplitterOverride &) = delete;
    SplitterOverride &operator=(const SplitterOverride &) = delete;

private:
    QByteArray m_saved;
};

} // namespace velvane::test
