#include "components/tags/frontrewrite.h"

#include "core/platform/filecopy.h"
#include "core/platform/filereplace.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTemporaryFile>

#include <algorithm>

using namespace Qt::StringLiterals;

Q_DECLARE_LOGGING_CATEGORY(lcTags)

namespace velvane {

namespace {

RewriteSeam &seam()
{
    static RewriteSeam current;
    return current;
}

thread_local int t_writeCalls = 0;

const QString unreadable = u"The piece could not be read back as it was written."_s;
const QString replaced = u"The piece was replaced while its tags were written."_s;

// Nothing on success, else why not; a short write goes on from where it stopped.
QString writeAt(QFile &file, qint64 offset, const QByteArray &data)
{
    if (!file.seek(offset))
        return file.errorString();
    for (qint64 done = 0; done < data.size();) {
        if (const int error = seam().beforeWrite ? seam().beforeWrite(++t_writeCalls) : 0)
            return qt_error_string(error);
        const qint64 left = data.size() - done;
        const qint64 n =
            file.write(data.constData() + done, seam().chunkLimit > 0 ? std::min(left, seam().chunkLimit) : left);
        if (n <= 0)
            return file.errorString();
        done += n;
    }
    return file.flush() ? QString() : file.errorString();
}

std::optional<QByteArray> readAt(QFile &file, qint64 offset, qint64 size)
{
    if (!file.seek(offset))
        return std::nullopt;
    QByteArray data = file.read(size);
    return data.size() == size ? std::optional(data) : std::nullopt;
}

// Where to look at a stretch of bytes: its start, middle and end, enough to notice a shift, a hole or a cut without
// reading it all (a front that renumbers an Ogg piece's pages is nearly the whole piece).
QList<std::pair<qint64, qint64>> samplePlaces(qint64 length)
{
    const qint64 n = std::min<qint64>(length, 16 * 1024);
    return {{0, n}, {(length - n) / 2, n}, {length - n, n}};
}

using AudioSample = QList<std::pair<qint64, QByteArray>>;

std::optional<AudioSample> sampleAudio(QFile &file, qint64 begin, qint64 length)
{
    AudioSample sample;
    for (const auto &[at, n] : samplePlaces(length)) {
        const auto part = readAt(file, begin + at, n);
        if (!part)
            return std::nullopt;
        sample.append({at, *part});
    }
    return sample;
}

bool frontReadsBack(QFile &file, const QByteArray &front)
{
    const auto places = samplePlaces(front.size());
    return std::all_of(places.cbegin(), places.cend(), [&](const auto &place) {
        const auto [at, n] = place;
        return readAt(file, at, n) == QByteArrayView(front).sliced(at, n);
    });
}

// The audio copied in the kernel where it can, in steps the seam may fail or shorten.
QString copyAudio(QFile &piece, qint64 begin, QFile &out, qint64 length)
{
    const qint64 step = seam().chunkLimit > 0 ? seam().chunkLimit : length;
    for (qint64 done = 0; done < length;) {
        if (const int error = seam().beforeWrite ? seam().beforeWrite(++t_writeCalls) : 0)
            return qt_error_string(error);
        const qint64 n = std::min(step, length - done);
        if (const QString why = copyFileBytes(piece, begin + done, out, n); !why.isEmpty())
            return piece.size() < begin + length ? unreadable : why; // it shrank under us
        done += n;
    }
    return out.flush() ? QString() : out.errorString();
}

bool sameFile(const std::optional<FileStamp> &now, const FileStamp &examined)
{
    return now && now->device == examined.device && now->inode == examined.inode && now->size == examined.size;
}

// Writes the front over the old one's room; on failure the old front is written back.
QString overwrite(const QString &path, const FileStamp &examined, const QByteArray &front)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return file.errorString();
    const auto old = readAt(file, 0, front.size());
    if (!old || stampOf(path) != examined)
        return replaced;
    QString error = writeAt(file, 0, front);
    if (error.isEmpty() && readAt(file, 0, front.size()) != front)
        error = unreadable;
    if (error.isEmpty() && !sameFile(stampOf(path), examined))
        error = replaced;
    if (!error.isEmpty() && !(file.seek(0) && file.write(*old) == old->size() && file.flush()))
        qCCritical(lcTags) << "could not put back the old tags of" << path << "after a failed tag write";
    return error;
}

// Writes the front and the audio into a new file beside the piece, which takes the piece's name only when it is
// complete; the piece itself is never written to.
QString writeAnew(const QString &path, const FileStamp &examined, const FrontPlan &plan, const QByteArray &front)
{
    QFile piece(path);
    if (!piece.open(QIODevice::ReadOnly))
        return piece.errorString();
    const qint64 length = plan.audioEnd - plan.audioBegin;
    const auto sample = sampleAudio(piece, plan.audioBegin, length);
    // A short name of our own: the piece's name may already be as long as the folder allows.
    QTemporaryFile out(QFileInfo(path).absoluteDir().filePath(u".velvane-tags-XXXXXX"_s));
    if (!sample)
        return unreadable;
    if (!out.open())
        return out.errorString();
    QString error = writeAt(out, 0, front);
    if (error.isEmpty())
        error = copyAudio(piece, plan.audioBegin, out, length);
    if (!error.isEmpty())
        return error;
    const bool audioKept = std::all_of(sample->cbegin(), sample->cend(), [&](const auto &part) {
        return readAt(out, front.size() + part.first, part.second.size()) == part.second;
    });
    if (out.size() != front.size() + length || !frontReadsBack(out, front) || !audioKept)
        return unreadable;
    if (!adoptAccess(out.fileName(), path))
        return qt_error_string();
    out.close();
    piece.close();
    const FileReplacement replacement = replaceFile(out.fileName(), path, examined);
    if (replacement.keepReplacement) {
        out.setAutoRemove(false); // the newcomer now sits under the temporary name; removing that would lose it
        qCCritical(lcTags) << "could not give" << path << "back to the file that replaced it";
    }
    return replacement.ok ? QString() : replacement.targetChanged ? replaced : replacement.error;
}

} // namespace

RewriteResult rewriteFront(const QString &path, const FileStamp &examined, const FrontPlan &plan)
{
    t_writeCalls = 0;
    if (stampOf(path) != examined)
        return {false, u"The piece changed after it was examined."_s};
    if (!plan.render || plan.audioBegin < 0 || plan.audioEnd <= plan.audioBegin || plan.audioEnd > examined.size)
        return {false, u"The piece holds no audio."_s};
    // The old front's size where the new one can take it, so that the next rewrite can overwrite it too.
    const auto sameRoom = plan.render(plan.audioBegin);
    const auto front = sameRoom ? sameRoom : plan.render(plan.smallestFront);
    if (!front)
        return {false, u"The tags do not fit into the piece's headers."_s};
    const bool overwriting = sameRoom && plan.audioEnd == examined.size && seam().way != RewriteWay::CopyOnly;
    const QString error = overwriting ? overwrite(path, examined, *front) : writeAnew(path, examined, plan, *front);
    return {error.isEmpty(), error};
}

void setRewriteSeam(RewriteSeam replacement)
{
    seam() = std::move(replacement);
}

} // namespace velvane
