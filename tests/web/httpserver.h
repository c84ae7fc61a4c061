#pragma once

#include <QByteArray>
#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QThread>

// What the server answers to every request from now on. A silent server takes the request and never replies.
struct HttpAnswer
{
    int status = 200;
    QByteArray body;
    bool silent = false;
};

// A small HTTP server on 127.0.0.1 that records each request's path and query. It runs on a thread of its own:
// the fetch under test blocks the GUI thread's event loop, so the server must not depend on it.
class HttpServer : public QObject
{
    Q_OBJECT
public:
    HttpServer();
    ~HttpServer() override;

    [[nodiscard]] QString baseAddress() const;
    void setAnswer(const HttpAnswer &answer);
    // The request targets ("/path?query") in arrival order, raw as sent.
    [[nodiscard]] QStringList targets() const;
    void clearTargets();

    // A port on 127.0.0.1 that nothing listens on.
    [[nodiscard]] static quint16 closedPort();

private:
    void serve(class QTcpSocket *socket);

    QThread m_thread;
    QObject *m_worker = nullptr;
    quint16 m_port = 0;
    mutable QMutex m_mutex;
    HttpAnswer m_answer;
    QStringList m_targets;
};
