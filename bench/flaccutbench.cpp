// Cuts a FLAC album with the core's cutter alone, as the job would, and prints each piece's outcome and the time
// taken: flaccutbench ALBUM FOLDER START... (cue frames, 1/75 s; each track runs to the next start, the last to the
// end of the audio).
#include "core/lossless/losslesscut.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTextStream>

using namespace Qt::StringLiterals;

int main(int argc, char **argv)
{
    if (argc < 4) {
        QTextStream(stderr) << "usage: flaccutbench ALBUM FOLDER START...\n";
        return 2;
    }
    velvane::LosslessCutRequest request;
    request.audioFile = QString::fromLocal8Bit(argv[1]);
    const QDir folder(QString::fromLocal8Bit(argv[2]));
    for (int i = 3; i < argc; ++i) {
        velvane::LosslessPiece piece;
        piece.start = QByteArray(argv[i]).toLongLong();
        if (i + 1 < argc)
            piece.end = QByteArray(argv[i + 1]).toLongLong();
        piece.path = folder.filePath(u"%1.flac"_s.arg(i - 2, 2, 10, QChar(u'0')));
        piece.tagRoom = 4096;
        request.pieces << piece;
    }
    int failed = 0;
    QTextStream out(stdout);
    QElapsedTimer timer;
    timer.start();
    velvane::cutFlacImage(request, {[&](const velvane::LosslessPieceResult &result) {
                                        if (!result.ok) {
                                            ++failed;
                                            out << "piece " << result.piece + 1 << ": " << result.reason << '\n';
                                        }
                                    },
                                    [] {
                                        return false;
                                    }});
    out << "cut " << request.pieces.size() << " pieces in " << timer.elapsed() << " ms, " << failed << " failed\n";
    return failed ? 1 : 0;
}
