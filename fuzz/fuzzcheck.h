#pragma once

#include <QString>

#include <cstdio>
#include <cstdlib>

// A broken promise ends the run like a crash does, so libFuzzer keeps the input that showed it.
inline void require(bool holds, const char *promise, const QString &detail = QString())
{
    if (holds)
        return;
    std::fprintf(stderr, "broken: %s\n%s\n", promise, detail.toUtf8().constData());
    std::abort();
}
