#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// One sheet of the corpus, written out as a cue sheet in UTF-8.
struct CorpusSheet
{
    QString language; // the corpus file's name
    QString album;
    QStringList encodings; // iconv names
    QString text;
};

// Every sheet of every language file in folder; empty with a reason in error when a file is malformed.
[[nodiscard]] QList<CorpusSheet> loadCorpus(const QString &folder, QString *error);
// The text in the named encoding; empty when a character has no place there.
[[nodiscard]] QByteArray encodedWithIconv(const QString &text, const QString &charset);
// Each track of a sheet's text as "title // performer", the form the corpus sheets are compared in.
[[nodiscard]] QStringList tracksOf(const QString &text);
