#include "httpserver.h"

#include "core/web/webconfig.h"
#include "dialogs/browser.h"
#include "import_cue/import_cue.h"
#include "main/maininterface.h"

#include <QCursor>
#include <QDesktopServices>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>

#include <memory>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(HttpAnswer)

namespace {

// Inverse of the form's character-code encoding, so a test states the text it expects, not the digits.
QString decodeCharacterCodes(const QString &codes)
{
    QString text;
    for (const QString &code : codes.split(u'*', Qt::SkipEmptyParts))
        text += QChar(char16_t(code.toUInt()));
    return text;
}

QString expectedInfos()
{
    return u"MacOSX "_s + QSysInfo::prettyProductName() + u"\nVelvane version 2.600\nRegistred: Donationware"_s;
}

const QString kSeparatorText = u"\n\n"_s + QString(46, u'-') + u"\n\n"_s;

} // namespace

class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

class tst_web : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void feedbackRequest_data();
    void feedbackRequest();
    void feedbackOutcome_data();
    void feedbackOutcome();
    void emptyAddressSendsNothing();
    void sentFormKeepsItsTextsOnReopening();
    void messageLimit_data();
    void messageLimit();
    void windowRepaintsUnderBusyCursorWhileFetching();

    void updateCheck_data();
    void updateCheck();
    void cancelOpensNoDownloadPage();

    void webLinksOpenTheConfiguredPages();
    void configurationIgnoresUnusableValues();

private:
    void useBase(const QString &base) { QSettings().setValue(velvane::kBaseAddressKey, base); }
    [[nodiscard]] bool feedbackShown() const { return m_controller->feedbackFenster->isVisible(); }

    std::unique_ptr<HttpServer> m_server;
    UrlRecorder m_browser;
    std::unique_ptr<MainInterface> m_interface;
    std::unique_ptr<import_cue> m_controller;
    QList<Alert> m_alerts;
    int m_pressed = 0;
};

void tst_web::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    m_server = std::make_unique<HttpServer>();
    QDesktopServices::setUrlHandler(u"http"_s, &m_browser, "open");
    QDesktopServices::setUrlHandler(u"https"_s, &m_browser, "open");
}

void tst_web::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(u"http"_s);
    QDesktopServices::unsetUrlHandler(u"https"_s);
    m_server.reset();
}

void tst_web::init()
{
    QSettings().clear();
    useBase(m_server->baseAddress());
    m_server->setAnswer({});
    m_server->clearTargets();
    m_browser.urls.clear();
    m_alerts.clear();
    m_pressed = 0;

    m_interface = std::make_unique<MainInterface>();
    const AlertFunction alert = [this](const Alert &shown) {
        m_alerts.append(shown);
        return m_pressed;
    };
    m_controller = std::make_unique<import_cue>(m_interface->mainWindow(), m_interface->statusSheet(),
                                                m_interface->feedbackSheet(),
                                                ControllerServices{alert, nullptr, desktopBrowser()});
    m_interface->mainWindow()->show();
}

void tst_web::cleanup()
{
    // The windows go first: closing the status sheet still asks the controller whether a split runs.
    m_interface.reset();
    m_controller.reset();
}

void tst_web::feedbackRequest_data()
{
    QTest::addColumn<QString>("mail");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("queryStart");

    const QString sep = u"10*10*"_s + u"45*"_s.repeated(46) + u"10*10*"_s;
    QTest::newRow("Hi") << u"me@example.org"_s << u"Hi"_s << u"mail=me%40example.org&text=72*105*"_s + sep;
    QTest::newRow("empty message") << u"me@example.org"_s << QString() << u"mail=me%40example.org&text="_s + sep;
    QTest::newRow("line feed") << u"me@example.org"_s << u"a\nb"_s << u"mail=me%40example.org&text=97*10*98*"_s + sep;
    QTest::newRow("beyond 16 bits, one number per surrogate")
        << u"me@example.org"_s << u"\U0001F600"_s << u"mail=me%40example.org&text=55357*56832*"_s + sep;
    // Unescaped, "+" would arrive as a space and "&"/"=" would add parameters; a space used to make the URL invalid.
    QTest::newRow("address with query characters")
        << u"a+b&c=d @x.org"_s << u"x"_s << u"mail=a%2Bb%26c%3Dd%20%40x.org&text=120*"_s + sep;
}

void tst_web::feedbackRequest()
{
    QFETCH(QString, mail);
    QFETCH(QString, message);
    QFETCH(QString, queryStart);
    m_server->setAnswer({200, "OK\n"});

    m_controller->openFeedback();
    m_controller->mailaddy->setText(mail);
    m_controller->feedbackMessage->setPlainText(message);
    m_controller->sendFeedback();

    const QStringList targets = m_server->targets();
    QCOMPARE(targets.size(), 1);
    const QString path = targets.first().section(u'?', 0, 0);
    const QString query = targets.first().section(u'?', 1);
    QCOMPARE(path, u"/php/feedback.php"_s);
    QVERIFY2(query.startsWith(queryStart), qPrintable(query.left(queryStart.size() + 20)));

    const QUrlQuery decoded(query);
    QCOMPARE(decoded.queryItems().size(), 2);
    QCOMPARE(decoded.queryItemValue(u"mail"_s, QUrl::FullyDecoded), mail);
    const QString text = decoded.queryItemValue(u"text"_s, QUrl::FullyDecoded);
    QVERIFY(QRegularExpression(u"^([0-9]+\\*)+$"_s).match(text).hasMatch());
    QCOMPARE(decodeCharacterCodes(text), message + kSeparatorText + expectedInfos() + u"\n"_s);
}

void tst_web::feedbackOutcome_data()
{
    QTest::addColumn<QString>("base"); // empty: the test server
    QTest::addColumn<HttpAnswer>("answer");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<bool>("sent");

    QTest::newRow("confirmed") << QString() << HttpAnswer{200, "OK\n"} << 0 << true;
    QTest::newRow("no line feed") << QString() << HttpAnswer{200, "OK"} << 0 << false;
    QTest::newRow("more after OK") << QString() << HttpAnswer{200, "OK\nthanks"} << 0 << false;
    QTest::newRow("server error with OK body") << QString() << HttpAnswer{500, "OK\n"} << 0 << false;
    QTest::newRow("silent server") << QString() << HttpAnswer{200, {}, true} << 300 << false;
    QTest::newRow("closed port") << u"http://127.0.0.1:"_s + QString::number(HttpServer::closedPort()) << HttpAnswer{}
                                 << 0 << false;
    QTest::newRow("invalid base address") << u"http://velvane example.org"_s << HttpAnswer{} << 0 << false;
}

void tst_web::feedbackOutcome()
{
    QFETCH(QString, base);
    QFETCH(HttpAnswer, answer);
    QFETCH(int, timeoutMs);
    QFETCH(bool, sent);
    if (!base.isEmpty())
        useBase(base);
    if (timeoutMs > 0)
        QSettings().setValue(velvane::kFetchTimeoutKey, timeoutMs);
    m_server->setAnswer(answer);

    m_controller->openFeedback();
    m_controller->mailaddy->setText(u"me@example.org"_s);
    m_controller->feedbackMessage->setPlainText(u"Hello"_s);
    QElapsedTimer clock;
    clock.start();
    m_controller->sendFeedback();
    QVERIFY(clock.elapsed() < 10000);

    QCOMPARE(m_alerts.size(), 1);
    if (sent) {
        QCOMPARE(m_alerts.first().title, u"Status"_s);
        QCOMPARE(m_alerts.first().message, u"Message was sent without any problems!"_s);
    } else {
        QCOMPARE(m_alerts.first().title, u"ERROR"_s);
        QCOMPARE(m_alerts.first().message, u"No internet-connection found\nor message-server down!"_s);
    }
    QCOMPARE(m_alerts.first().buttons, QStringList{u"Ok"_s});
    QCOMPARE(feedbackShown(), !sent);
    QCOMPARE(m_controller->mailaddy->text(), u"me@example.org"_s);
    QCOMPARE(m_controller->feedbackMessage->toPlainText(), u"Hello"_s);
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    if (base.contains(u' '))
        QVERIFY(m_server->targets().isEmpty());
}

void tst_web::emptyAddressSendsNothing()
{
    m_controller->openFeedback();
    m_controller->feedbackMessage->setPlainText(u"Hello"_s);
    m_controller->feedbackFenster->findChild<QPushButton *>(u"sendButton"_s)->click();

    QCOMPARE(m_alerts.size(), 1);
    QCOMPARE(m_alerts.first().title, u"Status"_s);
    QCOMPARE(m_alerts.first().message, u"please enter your email-adress!"_s);
    QCOMPARE(m_alerts.first().buttons, QStringList{u"ok"_s});
    QVERIFY(feedbackShown());
    QTest::qWait(50);
    QVERIFY(m_server->targets().isEmpty());

    m_controller->feedbackFenster->findChild<QPushButton *>(u"cancelButton"_s)->click();
    QVERIFY(!feedbackShown());
}

void tst_web::sentFormKeepsItsTextsOnReopening()
{
    m_server->setAnswer({200, "OK\n"});
    m_controller->openFeedback();
    QVERIFY(feedbackShown());
    QVERIFY(m_controller->feedbackFenster->isModal());
    QCOMPARE(m_controller->feedbackInfos->text(), expectedInfos());
    m_controller->mailaddy->setText(u"me@example.org"_s);
    m_controller->feedbackMessage->setPlainText(u"Hello"_s);
    m_controller->sendFeedback();
    QVERIFY(!feedbackShown());

    m_controller->feedbackInfos->setText(u"stale"_s);
    m_controller->openFeedback();
    QVERIFY(feedbackShown());
    QCOMPARE(m_controller->mailaddy->text(), u"me@example.org"_s);
    QCOMPARE(m_controller->feedbackMessage->toPlainText(), u"Hello"_s);
    QCOMPARE(m_controller->charLeft->text(), u"1795"_s);
    QCOMPARE(m_controller->feedbackInfos->text(), expectedInfos());
}

void tst_web::messageLimit_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("after");

    const QString emoji = u"\U0001F600"_s;
    QTest::newRow("paste of 2000") << QString() << QString(2000, u'x') << QString(1800, u'x');
    QTest::newRow("exactly 1800") << QString() << QString(1800, u'x') << QString(1800, u'x');
    QTest::newRow("no half character") << QString(1799, u'x') << emoji << QString(1799, u'x');
    QTest::newRow("pair that fits") << QString(1798, u'x') << emoji << QString(1798, u'x') + emoji;
}

void tst_web::messageLimit()
{
    QFETCH(QString, before);
    QFETCH(QString, pasted);
    QFETCH(QString, after);
    m_controller->openFeedback();
    QCOMPARE(m_controller->charLeft->text(), u"1800"_s);

    QPlainTextEdit *edit = m_controller->feedbackMessage;
    edit->setPlainText(before);
    edit->moveCursor(QTextCursor::End);
    edit->insertPlainText(pasted);
    QCOMPARE(edit->toPlainText(), after);
    QCOMPARE(m_controller->charLeft->text(), QString::number(1800 - after.size()));

    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QCOMPARE(edit->toPlainText(), QString());
    QCOMPARE(m_controller->charLeft->text(), u"1800"_s);
}

void tst_web::windowRepaintsUnderBusyCursorWhileFetching()
{
    QSettings().setValue(velvane::kFetchTimeoutKey, 500);
    m_server->setAnswer({200, {}, true});

    struct PaintCounter : QObject
    {
        int paints = 0;
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Paint)
                ++paints;
            return false;
        }
    } counter;
    QMainWindow *window = m_controller->hauptFenster;
    QVERIFY(QTest::qWaitForWindowExposed(window));
    window->installEventFilter(&counter);

    Qt::CursorShape during = Qt::ArrowCursor;
    int paintsDuring = -1;
    QTimer::singleShot(100, window, [&] {
        during = QGuiApplication::overrideCursor() ? QGuiApplication::overrideCursor()->shape() : Qt::ArrowCursor;
        window->repaint();
        paintsDuring = counter.paints;
    });
    QTimer::singleShot(200, window, [&] { window->update(); });
    m_controller->search_for_update();

    QCOMPARE(during, Qt::WaitCursor);
    QVERIFY(paintsDuring >= 1);
    QVERIFY(counter.paints > paintsDuring);
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    QCOMPARE(m_alerts.size(), 1);
    QCOMPARE(m_alerts.first().title, u"attention:"_s);
}

void tst_web::updateCheck_data()
{
    QTest::addColumn<QString>("base"); // empty: the test server
    QTest::addColumn<HttpAnswer>("answer");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("message");

    const QString current = u"You are using the actual version! (v2.600)\nIf you have problems with this version\n"
                            u"please mail to support@velvane.org"_s;
    const QString outdated = u"You are NOT using the actual version!\n(v2.600 instead of %1)"_s;
    const QString offline = u"You aren't connected to the internet so this check doesn't works!"_s;

    QTest::newRow("same") << QString() << HttpAnswer{200, "2600"} << u"Result:"_s << current;
    QTest::newRow("one newer") << QString() << HttpAnswer{200, "2601"} << u"Result:"_s << outdated.arg(u"v2.601"_s);
    QTest::newRow("line break after") << QString() << HttpAnswer{200, "3000\n"} << u"Result:"_s
                                      << outdated.arg(u"v3.0"_s);
    QTest::newRow("letters after") << QString() << HttpAnswer{200, "2700abc"} << u"Result:"_s
                                   << outdated.arg(u"v2.700"_s);
    QTest::newRow("beyond 32 bits") << QString() << HttpAnswer{200, "99999999999"} << u"Result:"_s
                                    << outdated.arg(u"v2147483.647"_s);
    QTest::newRow("older") << QString() << HttpAnswer{200, "1500"} << u"Result:"_s << current;
    QTest::newRow("negative") << QString() << HttpAnswer{200, "-5"} << u"Result:"_s << current;
    QTest::newRow("empty") << QString() << HttpAnswer{200, ""} << u"attention:"_s << offline;
    QTest::newRow("letters") << QString() << HttpAnswer{200, "abc"} << u"attention:"_s << offline;
    QTest::newRow("zero") << QString() << HttpAnswer{200, "0"} << u"attention:"_s << offline;
    QTest::newRow("missing file") << QString() << HttpAnswer{404, "2700"} << u"attention:"_s << offline;
    QTest::newRow("closed port") << u"http://127.0.0.1:"_s + QString::number(HttpServer::closedPort()) << HttpAnswer{}
                                 << u"attention:"_s << offline;
}

void tst_web::updateCheck()
{
    QFETCH(QString, base);
    QFETCH(HttpAnswer, answer);
    QFETCH(QString, title);
    QFETCH(QString, message);
    if (!base.isEmpty())
        useBase(base);
    m_server->setAnswer(answer);
    m_pressed = 0;

    m_controller->search_for_update();

    if (base.isEmpty())
        QCOMPARE(m_server->targets(), QStringList{u"/_appvelvane/version"_s});
    QCOMPARE(m_alerts.size(), 1);
    QCOMPARE(m_alerts.first().title, title);
    QCOMPARE(m_alerts.first().message, message);
    const bool outdated = message.contains(u"NOT"_s);
    const QStringList buttons = outdated ? QStringList{u"download"_s, u"cancel"_s} : QStringList{u"ok"_s};
    QCOMPARE(m_alerts.first().buttons, buttons);
    // The default button of the outdated alert is "download".
    QCOMPARE(m_browser.urls, outdated ? QList<QUrl>{QUrl(m_server->baseAddress() + u"/_appvelvane"_s)} : QList<QUrl>{});
}

void tst_web::cancelOpensNoDownloadPage()
{
    m_server->setAnswer({200, "2601"});
    m_pressed = 1;
    m_controller->search_for_update();
    QCOMPARE(m_alerts.size(), 1);
    QCOMPARE(m_alerts.first().buttons.value(1), u"cancel"_s);
    QVERIFY(m_browser.urls.isEmpty());
}

void tst_web::webLinksOpenTheConfiguredPages()
{
    QSettings settings;
    settings.setValue(velvane::kPaymentHostKey, u"pay.example.com"_s);
    settings.setValue(velvane::kPayeeKey, u"a+b@velvane.org"_s);
    settings.setValue(velvane::kHomePageKey, u"https://example.org/velvane/?from=app"_s);
    m_controller->donateDollar();
    m_controller->donateEuro();
    m_controller->gotoWebsite();

    QCOMPARE(m_browser.urls.size(), 3);
    const QString dollar = m_browser.urls.at(0).toString(QUrl::FullyEncoded);
    const QString euro = m_browser.urls.at(1).toString(QUrl::FullyEncoded);
    QCOMPARE(dollar, u"https://pay.example.com/cgi-bin/webscr?cmd=_xclick&business=a%2Bb%40velvane.org"
                     u"&item_name=Donation%20for%20velvane&item_number=10&no_shipping=1&no_note=1&tax=0"
                     u"&currency_code=USD"_s);
    QCOMPARE(QString(dollar).replace(u"USD"_s, u"EUR"_s), euro);
    QVERIFY(!euro.contains(u"USD"_s));
    QCOMPARE(m_browser.urls.at(2).toString(), u"https://example.org/velvane/?from=app"_s);
}

void tst_web::configurationIgnoresUnusableValues()
{
    QSettings settings;
    settings.setValue(velvane::kBaseAddressKey, u"http://mirror.example.org/"_s);
    // No time-out at all would let a silent server hang the window for good.
    settings.setValue(velvane::kFetchTimeoutKey, 0);
    settings.setValue(velvane::kSupportMailKey, u"  "_s);
    const velvane::WebConfig config = velvane::webConfig();
    QCOMPARE(config.baseAddress, u"http://mirror.example.org"_s);
    QCOMPARE(config.fetchTimeoutMs, 60000);
    QCOMPARE(config.supportMail, velvane::defaultWebConfig().supportMail);
}

QTEST_MAIN(tst_web)
#include "tst_web.moc"
