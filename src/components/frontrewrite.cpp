#include "components/frontrewrite.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QLoggingCategory>
#include <QScopeGuard>

#include <fcntl.h>
#include <linux/falloc.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcRewrite, "velvane.tags")

namespace velvane {

namespace {

RewriteSeam &seam()
{
    static RewriteSeam current;
    return current;
}

thread_local int t_writeCalls = 0;

class Descriptor
{
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    [[nodiscard]] int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }

private:
    int m_fd;
};

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error)) + u'.';
}

FileStamp stampFrom(const struct stat &status)
{
    return {quint64(status.st_dev), quint64(status.st_ino), qint64(status.st_size),
            qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec};
}

qint64 sizeOf(int fd)
{
    struct stat status;
    return ::fstat(fd, &status) == 0 ? qint64(status.st_size) : -1;
}

// The errno the seam wants this write to fail with, or 0.
int injectedError()
{
    ++t_writeCalls;
    return seam().beforeWrite ? seam().beforeWrite(t_writeCalls) : 0;
}

qint64 chunkOf(qint64 size)
{
    return seam().chunkLimit > 0 ? std::min(size, seam().chunkLimit) : size;
}

// 0 or the errno that stopped it; a short write goes on from where it stopped.
int writeAll(int fd, const QByteArray &data, qint64 offset)
{
    qint64 done = 0;
    while (done < data.size()) {
        if (const int error = injectedError())
            return error;
        const ssize_t n = ::pwrite(fd, data.constData() + done, size_t(chunkOf(data.size() - done)), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : ENOSPC;
        done += n;
    }
    return 0;
}

std::optional<QByteArray> readAt(int fd, qint64 offset, qint64 size)
{
    QByteArray data(size, Qt::Uninitialized);
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, data.data() + done, size_t(size - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return std::nullopt;
        done += n;
    }
    return data;
}

// In the kernel where it can (a clone of whole blocks on file systems that share them), else through a buffer.
int copyAll(int from, qint64 fromOffset, int to, qint64 toOffset, qint64 size)
{
    bool inKernel = true;
    while (size > 0) {
        const qint64 chunk = chunkOf(std::min<qint64>(size, 1 << 30));
        ssize_t n = 0;
        if (inKernel) {
            if (const int error = injectedError())
                return error;
            loff_t in = fromOffset, out = toOffset;
            n = ::copy_file_range(from, &in, to, &out, size_t(chunk), 0);
            if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
                inKernel = false;
                continue;
            }
        } else {
            const auto data = readAt(from, fromOffset, std::min<qint64>(chunk, 1 << 20));
            if (!data)
                return EIO;
            if (const int error = writeAll(to, *data, toOffset))
                return error;
            n = data->size();
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO; // the piece ended early: it shrank under us
        fromOffset += n;
        toOffset += n;
        size -= n;
    }
    return 0;
}

// The start, middle and end of the audio: enough to notice a shift, a hole or a cut without reading it all.
struct AudioSample
{
    QList<std::pair<qint64, QByteArray>> parts; // offset into the audio, bytes
};

constexpr qint64 samplePartBytes = 16 * 1024;

std::optional<AudioSample> sampleAudio(int fd, qint64 begin, qint64 length)
{
    AudioSample sample;
    const qint64 n = std::min(length, samplePartBytes);
    for (const qint64 at : {qint64(0), (length - n) / 2, length - n}) {
        auto bytes = readAt(fd, begin + at, n);
        if (!bytes)
            return std::nullopt;
        sample.parts.append({at, std::move(*bytes)});
    }
    return sample;
}

bool audioMatches(int fd, qint64 begin, const AudioSample &sample)
{
    return std::all_of(sample.parts.cbegin(), sample.parts.cend(), [&](const auto &part) {
        return readAt(fd, begin + part.first, part.second.size()) == part.second;
    });
}

// ext4 and XFS open room inside a file in whole blocks of this size; a clone needs the same alignment.
qint64 blockSize(const struct statfs &fs)
{
    const qint64 size = fs.f_bsize;
    return size >= 512 && size <= 64 * 1024 && (size & (size - 1)) == 0 ? size : 4096;
}

bool opensRoomInPlace(const struct statfs &fs)
{
    return fs.f_type == EXT4_SUPER_MAGIC || fs.f_type == XFS_SUPER_MAGIC;
}

// The smallest front that fills the old front's room exactly or grows it by whole blocks, so that room can be opened
// in place should a copy find none, and either way gives the same file; the smallest front of all when no such size
// can be made.
std::optional<QByteArray> chooseFront(const FrontPlan &plan, qint64 block)
{
    const qint64 missing = plan.smallestFront - plan.audioBegin;
    qint64 blocks = missing > 0 ? (missing + block - 1) / block : 0;
    for (int tries = 0; tries < 4; ++tries, ++blocks) {
        if (auto front = plan.render(plan.audioBegin + blocks * block))
            return front;
    }
    return plan.render(plan.smallestFront);
}

struct Rewrite
{
    const QString &path;
    const FrontPlan &plan;
    int fd = -1;
    struct stat before = {};
    QByteArray front;
    AudioSample sample;

    [[nodiscard]] qint64 audioLength() const { return plan.audioEnd - plan.audioBegin; }
    [[nodiscard]] qint64 newSize() const { return front.size() + audioLength(); }

    // Whether the piece's name still leads to the file being rewritten.
    [[nodiscard]] bool stillNamed() const
    {
        struct stat now;
        return ::lstat(QFile::encodeName(path).constData(), &now) == 0 && now.st_dev == before.st_dev &&
               now.st_ino == before.st_ino;
    }
};

enum class Outcome
{
    Done,
    Failed,
    NoRoom,     // failed for want of space, with the piece as it was
    Unsupported // nothing was changed
};

Outcome failure(int code, QString &error)
{
    error = errorText(code);
    return code == ENOSPC || code == EDQUOT ? Outcome::NoRoom : Outcome::Failed;
}

const QString unreadable = u"The piece could not be read back as it was written."_s;
const QString replaced = u"The piece was replaced while its tags were written."_s;

// Puts back what rewriteInPlace changed; true when the piece reads as it did before.
bool restore(const Rewrite &r, qint64 grown, const QByteArray &oldFront, const QByteArray &oldTail, bool truncated)
{
    bool ok = !truncated || writeAll(r.fd, oldTail, r.plan.audioEnd + grown) == 0;
    ok = ok && (grown == 0 || ::fallocate(r.fd, FALLOC_FL_COLLAPSE_RANGE, 0, grown) == 0);
    ok = ok && writeAll(r.fd, oldFront, 0) == 0;
    ok = ok && sizeOf(r.fd) == r.before.st_size && readAt(r.fd, 0, oldFront.size()) == oldFront &&
         audioMatches(r.fd, r.plan.audioBegin, r.sample) && readAt(r.fd, r.plan.audioEnd, oldTail.size()) == oldTail;
    if (!ok)
        qCCritical(lcRewrite) << "could not put back" << r.path << "after a failed tag write";
    return ok;
}

// Opens room at the front in whole blocks, which moves only the file system's map of the blocks, and writes the
// front into it. Each step is undone when a later one fails.
Outcome rewriteInPlace(const Rewrite &r, QString &error)
{
    const qint64 grow = r.front.size() - r.plan.audioBegin;
    const qint64 oldSize = r.before.st_size;
    const auto oldFront = readAt(r.fd, 0, r.plan.audioBegin);
    const auto oldTail = readAt(r.fd, r.plan.audioEnd, oldSize - r.plan.audioEnd);
    if (!oldFront || !oldTail) {
        error = unreadable;
        return Outcome::Failed;
    }

    if (grow > 0 && ::fallocate(r.fd, FALLOC_FL_INSERT_RANGE, 0, grow) != 0) {
        const int code = errno;
        if (sizeOf(r.fd) != oldSize) {
            // The file system grew the file and then gave up moving its blocks.
            restore(r, grow, *oldFront, *oldTail, false);
        } else if (code == EOPNOTSUPP || code == EINVAL || code == ENOSYS) {
            return Outcome::Unsupported;
        }
        error = errorText(code);
        return Outcome::Failed;
    }

    QString problem;
    bool truncated = false;
    if (const int code = writeAll(r.fd, r.front, 0)) {
        problem = errorText(code);
    } else if (sizeOf(r.fd) != oldSize + grow || readAt(r.fd, 0, r.front.size()) != r.front ||
               !audioMatches(r.fd, r.front.size(), r.sample)) {
        problem = unreadable;
    } else if (!r.stillNamed()) {
        problem = replaced;
    } else if (!oldTail->isEmpty()) {
        truncated = ::ftruncate(r.fd, r.newSize()) == 0;
        if (!truncated)
            problem = errorText(errno);
        else if (sizeOf(r.fd) != r.newSize())
            problem = unreadable;
    }
    if (problem.isEmpty())
        return Outcome::Done;
    restore(r, grow, *oldFront, *oldTail, truncated);
    error = problem;
    return Outcome::Failed;
}

// Writes the front and the audio once, in order, into a new file beside the piece, and swaps the two names only
// when the new file is complete. The piece itself is never written to.
Outcome rewriteByCopy(const Rewrite &r, QString &error)
{
    const QFileInfo info(r.path);
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    const QByteArray name = QFile::encodeName(info.fileName());
    // A short name of our own: the piece's name may already be as long as the folder allows.
    QByteArray temporary = folder + "/.velvane-tags-XXXXXX";
    const Descriptor directory(::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    const Descriptor out(directory ? ::mkostemp(temporary.data(), O_CLOEXEC) : -1);
    if (!directory || !out)
        return failure(errno, error);
    const QByteArray temporaryName = temporary.mid(folder.size() + 1);
    auto removeTemporary = qScopeGuard([&] { ::unlinkat(directory.get(), temporaryName.constData(), 0); });

    // The new file stands in for the piece, so it keeps the piece's permissions and, where allowed, its owner.
    if (::fchmod(out.get(), r.before.st_mode & 07777) != 0 ||
        (::geteuid() == 0 && ::fchown(out.get(), r.before.st_uid, r.before.st_gid) != 0))
        return failure(errno, error);
    if (const int code = writeAll(out.get(), r.front, 0))
        return failure(code, error);
    if (const int code = copyAll(r.fd, r.plan.audioBegin, out.get(), r.front.size(), r.audioLength()))
        return failure(code, error);
    struct stat now;
    if (sizeOf(out.get()) != r.newSize() || readAt(out.get(), 0, r.front.size()) != r.front ||
        !audioMatches(out.get(), r.front.size(), r.sample)) {
        error = unreadable;
    } else if (::fstat(r.fd, &now) != 0 || stampFrom(now) != stampFrom(r.before)) {
        error = u"The piece changed while its tags were written."_s;
    }
    if (!error.isEmpty())
        return Outcome::Failed;

    if (::renameat2(directory.get(), temporaryName.constData(), directory.get(), name.constData(), RENAME_EXCHANGE) !=
        0) {
        const int code = errno;
        if (code != EINVAL && code != ENOSYS && code != EOPNOTSUPP)
            return failure(code, error);
        // Without an exchange a piece replaced between this check and the rename would be lost, but such file
        // systems leave no other way that keeps the piece's name.
        if (!r.stillNamed()) {
            error = replaced;
            return Outcome::Failed;
        }
        if (::renameat(directory.get(), temporaryName.constData(), directory.get(), name.constData()) != 0)
            return failure(errno, error);
        removeTemporary.dismiss();
        return Outcome::Done;
    }
    // The exchange put whatever stood under the piece's name under the temporary one: it must be the piece read.
    struct stat swapped;
    if (::fstatat(directory.get(), temporaryName.constData(), &swapped, AT_SYMLINK_NOFOLLOW) != 0 ||
        swapped.st_dev != r.before.st_dev || swapped.st_ino != r.before.st_ino) {
        if (::renameat2(directory.get(), temporaryName.constData(), directory.get(), name.constData(),
                        RENAME_EXCHANGE) != 0) {
            // The newcomer now sits under the temporary name; removing that would lose it.
            removeTemporary.dismiss();
            qCCritical(lcRewrite) << "could not give" << r.path << "back to the file that replaced it";
        }
        error = replaced;
        return Outcome::Failed;
    }
    return Outcome::Done; // the guard now removes the untagged piece
}

} // namespace

RewriteResult rewriteFront(const QString &path, const FileStamp &examined, const FrontPlan &plan)
{
    t_writeCalls = 0;
    const Descriptor file(::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
    if (!file)
        return {false, errorText(errno)};
    Rewrite r{path, plan, file.get(), {}, {}, {}};
    struct statfs fs;
    if (::fstat(file.get(), &r.before) != 0 || ::fstatfs(file.get(), &fs) != 0)
        return {false, errorText(errno)};
    if (!S_ISREG(r.before.st_mode) || stampFrom(r.before) != examined)
        return {false, u"The piece changed after it was examined."_s};
    if (!plan.render || plan.audioBegin < 0 || plan.audioEnd <= plan.audioBegin || plan.audioEnd > r.before.st_size)
        return {false, u"The piece holds no audio."_s};

    const qint64 block = blockSize(fs);
    const auto front = chooseFront(plan, block);
    auto sample = sampleAudio(file.get(), plan.audioBegin, r.audioLength());
    if (!front)
        return {false, u"The tags do not fit into the piece's headers."_s};
    if (!sample)
        return {false, unreadable};
    r.front = *front;
    r.sample = std::move(*sample);

    // When the new front fits the room of the old one exactly, it is written over it and nothing else moves: the
    // splitter keeps such room in front of each piece. Otherwise a copy first: it never writes to the piece, and it
    // waits for no disk, where opening room in place makes the file system write the whole piece out first. In
    // place is for when a copy finds no room.
    const RewriteWay way = seam().way;
    const qint64 grow = r.front.size() - plan.audioBegin;
    QString error;
    if (grow == 0 && plan.audioEnd == r.before.st_size && way != RewriteWay::CopyOnly) {
        const Outcome outcome = rewriteInPlace(r, error);
        return {outcome == Outcome::Done, outcome == Outcome::Done ? QString() : error};
    }
    const bool opensRoom = way != RewriteWay::CopyOnly && opensRoomInPlace(fs) && grow >= 0 && grow % block == 0;
    Outcome outcome = way == RewriteWay::InPlaceFirst && opensRoom ? Outcome::NoRoom : rewriteByCopy(r, error);
    if (outcome == Outcome::NoRoom && opensRoom) {
        outcome = rewriteInPlace(r, error);
        if (outcome == Outcome::Unsupported && way == RewriteWay::InPlaceFirst)
            outcome = rewriteByCopy(r, error);
    }
    return {outcome == Outcome::Done, outcome == Outcome::Done ? QString() : error};
}

void setRewriteSeam(RewriteSeam replacement)
{
    seam() = std::move(replacement);
}

} // namespace velvane
