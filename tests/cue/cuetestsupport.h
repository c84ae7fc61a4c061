#pragma once

#include "core/cue/trackentry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QTest>

// Tracks written compactly in test tables: "title=Intro|performer=The Band|index=00:00:00".
inline velvane::TrackList tracksFrom(const QStringList &compact)
{
    velvane::TrackList tracks;
    for (const QString &entry : compact) {
        velvane::TrackEntry track;
        for (const QString &pair : entry.split(u'|', Qt::SkipEmptyParts)) {
            const qsizetype eq = pair.indexOf(u'=');
            track.insert(pair.left(eq), pair.mid(eq + 1));
        }
        tracks.append(track);
    }
    return tracks;
}

[[nodiscard]] inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline const QString liveAlbumSheet = QStringLiteral("REM GENRE Electronic\n"
                                                     "PERFORMER \"The Band\"\n"
                                                     "TITLE \"Live Album\"\n"
                                                     "FILE \"Live Album.mp3\" MP3\n"
                                                     "  TRACK 01 AUDIO\n"
                                                     "    TITLE \"Intro\"\n"
                                                     "    INDEX 01 00:00:00\n"
                                                     "  TRACK 02 AUDIO\n"
                                                     "    TITLE \"Second Song\"\n"
                                                     "    PERFORMER \"The Band feat. Guest\"\n"
                                                     "    INDEX 00 03:58:40\n"
                                                     "    INDEX 01 04:00:12\n"
                                                     "  TRACK 03 AUDIO\n"
                                                     "    TITLE \"Outro\"\n"
                                                     "    INDEX 01 07:31:05\n");
