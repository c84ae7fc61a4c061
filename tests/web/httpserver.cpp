#include "httpserver.h"

#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>

using namespace Qt::StringLiterals;

HttpServer::HttpServer()
{
    m_worker = new QObject;
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start();
    QMetaObject::invokeMethod(
        m_worker,
        [this] {
            auto *server = new QTcpServer(m_worker);
            if (!server->listen(QHostAddress::LocalHost))
                qFatal("test server cannot listen");
            m_port = server->serverPort();
            connect(server, &QTcpServer::newConnection, server, [this, server] {
                while (QTcpSocket *socket = server->nextPendingConnection())
                    serve(socket);
            });
        },
        Qt::BlockingQueuedConnection);
}

HttpServer::~HttpServer()
{
    m_thread.quit();
    m_thread.wait();
}

QString HttpServer::baseAddress() const
{
    return u"http://127.0.0.1:"_s + QString::number(m_port);
}

void HttpServer::setAnswer(const HttpAnswer &answer)
{
    QMutexLocker lock(&m_mutex);
    m_answer = answer;
}

QStringList HttpServer::targets() const
{
    QMutexLocker lock(&m_mutex);
    return m_targets;
}

void HttpServer::clearTargets()
{
    QMutexLocker lock(&m_mutex);
    m_targets.clear();
}

quint16 HttpServer::closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

void HttpServer::serve(QTcpSocket *socket)
{
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
        QByteArray request = socket->property("request").toByteArray() + socket->readAll();
        socket->setProperty("request", request);
        if (!request.contains("\r\n\r\n") || socket->property("answered").toBool())
            return;
        socket->setProperty("answered", true);

        const QList<QByteArray> requestLine = request.left(request.indexOf("\r\n")).split(' ');
        HttpAnswer answer;
        {
            QMutexLocker lock(&m_mutex);
            m_targets.append(QString::fromLatin1(requestLine.value(1)));
            answer = m_answer;
        }
        if (answer.silent)
            return;
        const QByteArray head =
            "HTTP/1.1 " + QByteArray::number(answer.status) + (answer.status == 200 ? " OK" : " Failed") +
            "\r\nContent-Type: text/plain\r\nContent-Length: " + QByteArray::number(answer.body.size()) +
            "\r\nConnection: close\r\n\r\n";
        socket->write(head + answer.body);
        socket->disconnectFromHost();
    });
}
