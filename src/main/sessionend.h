#pragma once

#include <QObject>

// Ends the event loop when the session or a user ends the process with SIGINT, SIGTERM or SIGHUP, so that main
// can stop a running split (its splitter at once, keeping the tracks made and clearing its work folder) rather
// than die in the middle of a piece.
class SessionEnd : public QObject
{
    Q_OBJECT
public:
    explicit SessionEnd(QObject *application);
};
