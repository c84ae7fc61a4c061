#include "core/web/feedback.h"
#include "core/web/webconfig.h"
#include "gui/controllerfixture.h"

#include <QDeadlineTimer>
#include <QProgressDialog>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

// A whole HTTP reply for the test server to send.
QByteArray reply(int status, const QByteArray &body)
{
    return "HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

QString s_log; // what the program logged while a test listened

void keepLog(QtMsgType, const QMessageLogContext &, const QString &message)
{
    s_log += message + u'\n';
}

} // namespace

// Serves the program's requests on 127.0.0.1. The fetch keeps the thread's event loop running while it waits, so
// the server needs no thread of its own.
class tst_web : public QObject
{
    Q_OBJECT

    QTcpServer m_server;
    QByteArray m_reply;    // empty: take the request and stay silent
    QStringList m_targets; // each request's path and query, as sent
    std::optional<ControllerFixture> m_f;

    import_cue &controller() { return m_f->controller; }
    void fillForm(const QString &mail, const QString &message)
    {
        controller().openFeedback();
        controller().mailaddy->setText(mail);
        controller().feedbackMessage->setPlainText(message);
    }
    [[nodiscard]] bool formShown() { return controller().feedbackFenster->isVisible(); }
    // Each alert's title, message and buttons.
    [[nodiscard]] QStringList shown() const
    {
        QStringList texts;
        for (const Alert &alert : m_f->alerts)
            texts << alert.title << alert.message << alert.buttons;
        return texts;
    }

private slots:
    void initTestCase()
    {
        useOwnSettings();
        QVERIFY(m_server.listen(QHostAddress::LocalHost));
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *socket = m_server.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                if (!socket->peek(socket->bytesAvailable()).endsWith("\r\n\r\n"))
                    return;
                m_targets.append(QString::fromLatin1(socket->readAll().split(' ').value(1)));
                socket->write(m_reply);
                if (!m_reply.isEmpty())
                    socket->disconnectFromHost();
            });
        });
    }
    void init()
    {
        QSettings().clear();
        QSettings().setValue(velvane::kBaseAddressKey, u"http://127.0.0.1:%1"_s.arg(m_server.serverPort()));
        // Long enough for a loaded machine: a request that times out would reach the server in the next case.
        QSettings().setValue(velvane::kFetchTimeoutKey, 10000);
        m_reply = reply(200, "OK\n");
        m_targets.clear();
        m_f.emplace();
    }
    void cleanup() { m_f.reset(); }

    // Refused without an address; sent with every code unit as typed, the address escaped, and kept for the next.
    void feedbackForm()
    {
        fillForm(QString(), u"Hello"_s);
        controller().sendFeedback();
        QCOMPARE(shown(), (QStringList{u"Status"_s, u"please enter your email-adress!"_s, u"ok"_s}));
        QVERIFY(formShown() && m_targets.isEmpty());

        m_f->alerts.clear();
        // Unescaped, "+" would arrive as a space and "&"/"=" would add parameters; a space made the URL invalid.
        controller().mailaddy->setText(u"a+b&c=d @x.org"_s);
        // A no-break space, a line separator, a line feed, a surrogate pair.
        controller().feedbackMessage->setPlainText(u"a\u00a0b\u2028c\nd\U0001F600"_s);
        const QString typed = controller().feedbackMessage->toPlainText();
        // Return in the address field sends: Send is the form's default button.
        QTest::keyClick(controller().mailaddy, Qt::Key_Return);
        // As character codes: each UTF-16 code unit's value and "*"; then a rule and what the form shows below it.
        QCOMPARE(m_targets,
                 QStringList{u"/php/feedback.php?mail=a%2Bb%26c%3Dd%20%40x.org&text="_s +
                             u"97*160*98*8232*99*10*100*55357*56832*10*10*"_s + u"45*"_s.repeated(46) + u"10*10*"_s +
                             velvane::characterCodes(controller().feedbackInfos->text()) + u"10*"_s});
        QCOMPARE(shown(), (QStringList{u"Status"_s, u"Message was sent without any problems!"_s, u"Ok"_s}));
        QVERIFY(!formShown());
        controller().openFeedback();
        QCOMPARE(controller().mailaddy->text() + controller().feedbackMessage->toPlainText(),
                 u"a+b&c=d @x.org"_s + typed);
    }

    // The limit counts UTF-16 code units; a character of two is kept whole or dropped whole, never halved.
    void feedbackLimitKeepsCharactersWhole_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        const QString face = u"\U0001F600"_s;
        const QString x1798 = QString(1798, u'x');
        QTest::newRow("pair straddles the limit") << x1798 + u'x' + face << x1798 + u'x';
        QTest::newRow("pair ends at the limit") << x1798 + face + u'y' << x1798 + face;
    }
    void feedbackLimitKeepsCharactersWhole()
    {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        fillForm(u"me@example.org"_s, typed);
        QCOMPARE(controller().feedbackMessage->toPlainText(), kept);
        QCOMPARE(controller().charLeft->text(), QString::number(1800 - kept.size()));
    }

    void feedbackFailure_data()
    {
        QTest::addColumn<QByteArray>("answer"); // none: nothing listens
        QTest::newRow("more after OK") << reply(200, "OK\nthanks");
        QTest::newRow("server error") << reply(500, "OK\n");
        QTest::newRow("closed port") << QByteArray();
        QTest::newRow("silent server") << ""_ba;
    }
    void feedbackFailure()
    {
        QFETCH(QByteArray, answer);
        m_reply = answer;
        if (answer.isNull())
            QSettings().setValue(velvane::kBaseAddressKey, u"http://127.0.0.1:1"_s); // nothing listens
        else if (answer.isEmpty())
            QSettings().setValue(velvane::kFetchTimeoutKey, 300); // the silent server: the time-out must end the wait
        fillForm(u"me@example.org"_s, u"Hello"_s);
        const QDeadlineTimer deadline(5000);
        s_log.clear();
        const QtMessageHandler previous = qInstallMessageHandler(keepLog);
        controller().sendFeedback();
        qInstallMessageHandler(previous);
        QVERIFY(!deadline.hasExpired() && formShown() && controller().feedbackMessage->toPlainText() == u"Hello"_s);
        // The log may name the server, never the sender's address or message.
        QVERIFY2(!s_log.contains(u"example.org"_s) && !s_log.contains(u"72*"_s), qPrintable(s_log));
        QCOMPARE(shown(),
                 (QStringList{u"ERROR"_s, u"No internet-connection found\nor message-server down!"_s, u"Ok"_s}));
    }

    // While the form waits for the server, it says so and Send is off; the update check shows a wait of its own, modal
    // for the main window, its button off. Cancel ends either wait at once, with no alert, the form as it was.
    void cancelEndsAWaitAtOnce()
    {
        m_reply = ""_ba; // the server takes the request and stays silent
        QSettings().setValue(velvane::kFetchTimeoutKey, 60000);
        auto *note = controller().feedbackFenster->findChild<QLabel *>(u"sendingNote"_s);
        auto *cancel = controller().feedbackFenster->findChild<QPushButton *>(u"cancelButton"_s);
        auto *send = controller().feedbackFenster->findChild<QPushButton *>(u"sendButton"_s);
        auto *update = m_f->interface.mainWindow()->findChild<QPushButton *>(u"updateButton"_s);
        QStringList waits;
        fillForm(u"me@example.org"_s, u"Hello"_s);
        QTimer::singleShot(200, cancel, [&] {
            waits << note->text() + QString::number(send->isEnabled()), QTest::mouseClick(cancel, Qt::LeftButton);
        });
        QDeadlineTimer deadline(10000);
        controller().sendFeedback();
        QVERIFY(!deadline.hasExpired() && formShown() && !controller().feedbackMessage->isReadOnly() &&
                controller().feedbackMessage->toPlainText() == u"Hello"_s);
        controller().closeFeedback();

        QTimer::singleShot(200, this, [&] {
            if (auto *wait = qobject_cast<QProgressDialog *>(QApplication::activeModalWidget()))
                waits << wait->labelText() + QString::number(update->isEnabled()),
                    QTest::keyClick(wait, Qt::Key_Escape);
        });
        deadline.setRemainingTime(10000);
        controller().search_for_update();
        QVERIFY(!deadline.hasExpired());
        QCOMPARE(waits, (QStringList{u"Sending…0"_s, u"Checking for updates…0"_s}));
        QVERIFY(send->isEnabled() && update->isEnabled() && m_targets.size() == 2 && m_f->alerts.isEmpty());
    }

    void updateCheck_data()
    {
        QTest::addColumn<QByteArray>("published"); // none: nothing listens
        QTest::addColumn<int>("pressed");
        QTest::addColumn<QStringList>("alert");
        const QString current = u"You are using the actual version! (v2.600)\nIf you have problems with this version\n"
                                u"please mail to support@velvane.org"_s;
        const QString offline = u"You aren't connected to the internet so this check doesn't works!"_s;
        const QString outdated = u"You are NOT using the actual version!\n(v2.600 instead of %1)"_s;
        const auto newer = [&](const QString &version) {
            return QStringList{u"Result:"_s, outdated.arg(version), u"download"_s, u"cancel"_s};
        };
        QTest::newRow("same") << "2600"_ba << 0 << QStringList{u"Result:"_s, current, u"ok"_s};
        QTest::newRow("newer, download") << "2601"_ba << 0 << newer(u"v2.601"_s);
        QTest::newRow("newer, cancel") << "2601"_ba << 1 << newer(u"v2.601"_s);
        QTest::newRow("letters after") << "2700abc"_ba << 0 << newer(u"v2.700"_s);
        QTest::newRow("beyond 32 bits") << "99999999999"_ba << 0 << newer(u"v2147483.647"_s);
        QTest::newRow("unreachable") << QByteArray() << 0 << QStringList{u"attention:"_s, offline, u"ok"_s};
    }
    void updateCheck()
    {
        QFETCH(QByteArray, published);
        QFETCH(int, pressed);
        QFETCH(QStringList, alert);
        const QUrl downloadPage(QSettings().value(velvane::kBaseAddressKey).toString() + u"/_appvelvane"_s);
        m_reply = reply(200, published);
        m_f->alertAnswers = {pressed};
        if (published.isNull())
            QSettings().setValue(velvane::kBaseAddressKey, u"http://127.0.0.1:1"_s); // nothing listens
        controller().search_for_update();
        QCOMPARE(m_targets, published.isNull() ? QStringList() : QStringList{u"/_appvelvane/version"_s});
        QCOMPARE(shown(), alert);
        // The default button of the outdated alert opens the download page.
        QCOMPARE(m_f->opened, alert.size() == 4 && pressed == 0 ? QList{downloadPage} : QList<QUrl>());
    }

    // Without a browser, a web link shows its address, so that it can be copied.
    void donationsDifferInTheCurrencyAlone()
    {
        QSettings().setValue(velvane::kPaymentHostKey, u"pay.example.com"_s);
        QSettings().setValue(velvane::kPayeeKey, u"a+b@velvane.org"_s);
        controller().donateDollar();
        m_f->browserOpens = false;
        controller().donateEuro();
        const QString dollar = m_f->opened.value(0).toString(QUrl::FullyEncoded);
        QCOMPARE(dollar, u"https://pay.example.com/cgi-bin/webscr?cmd=_xclick&business=a%2Bb%40velvane.org"
                         u"&item_name=Donation%20for%20velvane&item_number=10&no_shipping=1&no_note=1&tax=0"
                         u"&currency_code=USD"_s);
        const QString euro = m_f->opened.value(1).toString(QUrl::FullyEncoded);
        QCOMPARE(euro, QString(dollar).replace(u"USD"_s, u"EUR"_s));
        QVERIFY2(m_f->alerts.size() == 1 && m_f->alerts.constFirst().message.endsWith(u'\n' + euro),
                 qPrintable(shown().join(u'|')));
    }
};

QTEST_MAIN(tst_web)
#include "tst_web.moc"
