// Tags pieces as the split job does and prints the seconds it took, for bench/tagbench.sh.
// usage: velvane-tagbench [--copy] PIECE...   (--copy: write each piece anew even where the new tags fit the room
// the old ones took)
#include "components/tags/frontrewrite.h"
#include "components/tags/tagapi.h"

#include <QElapsedTimer>
#include <QStringList>

#include <cstdio>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

int main(int argc, char **argv)
{
    QStringList pieces;
    for (int i = 1; i < argc; ++i)
        pieces << QString::fromLocal8Bit(argv[i]);
    if (!pieces.isEmpty() && pieces.front() == u"--copy") {
        pieces.removeFirst();
        velvane::setRewriteSeam({velvane::RewriteWay::CopyOnly, 0, {}});
    }
    TagAPI tags;
    QElapsedTimer timer;
    timer.start();
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (!tags.examineFile(pieces[i])) {
            std::fprintf(stderr, "not a piece: %s\n", qPrintable(pieces[i]));
            return 1;
        }
        tags.setTitle(u"Tone %1"_s.arg(i + 1));
        tags.setArtist(u"Bench Band"_s);
        tags.setAlbum(u"Bench Album"_s);
        tags.setYear(2024);
        tags.setTrack(int(i + 1), int(pieces.size()));
        tags.setGenreName({u"Techno"_s});
        if (!tags.updateFile()) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(pieces[i]), qPrintable(tags.errorString()));
            return 1;
        }
    }
    struct rusage usage = {};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) {
        return double(t.tv_sec) + double(t.tv_usec) / 1e6;
    };
    // Wall time, then processor time: the second leaves out what other processes take of a busy machine.
    std::printf("%.4f %.4f\n", double(timer.nsecsElapsed()) / 1e9, seconds(usage.ru_utime) + seconds(usage.ru_stime));
    return 0;
}
