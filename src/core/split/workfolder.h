#pragma once

#include <QSet>
#include <QString>

namespace velvane {

// The job's private folder inside the destination: the splitter writes there, never among the user's files, and
// a finished piece leaves it by a rename on the same file system. Whatever is left in it when the job ends is
// removed, except a piece that could not be moved out, which is never thrown away.
class WorkFolder
{
public:
    explicit WorkFolder(const QString &destination);
    ~WorkFolder();
    WorkFolder(const WorkFolder &) = delete;
    WorkFolder &operator=(const WorkFolder &) = delete;

    [[nodiscard]] bool isValid() const { return !m_path.isEmpty(); }
    [[nodiscard]] QString path() const { return m_path; }
    [[nodiscard]] QString problem() const { return m_problem; }

    // A new empty folder inside, for one splitter run.
    [[nodiscard]] QString newRunFolder();
    // This piece stays, and with it the folder.
    void keep(const QString &piece);

    // Removes what is left, but kept pieces; true when the folder itself is gone.
    bool clear();

private:
    QString m_path;
    QString m_problem;
    QSet<QString> m_kept;
    int m_runs = 0;
};

} // namespace velvane
