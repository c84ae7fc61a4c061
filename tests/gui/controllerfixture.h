#pragma once

#include "import_cue/import_cue.h"
#include "main/maininterface.h"
#include "MyTextField/mytextfield.h"
#include "support/files.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using velvane::test::writeFile;

// A sheet of one audio file whose tracks, titled as given, start a second apart; header comes first.
inline QByteArray cueSheet(const QStringList &titles, const QString &audio = u"album.mp3"_s, const QString &header = {})
{
    QString text = header + u"FILE \"%1\" MP3\n"_s.arg(audio);
    for (int i = 0; i < titles.size(); ++i)
        text += u"TRACK %1 AUDIO\nTITLE \"%2\"\nINDEX 01 00:%3:00\n"_s.arg(i + 1, 2, 10, QChar(u'0'))
                    .arg(titles.at(i))
                    .arg(i, 2, 10, QChar(u'0'));
    return text.toUtf8();
}

// The main window with its controller, as the app builds them, with the alert, the open panel and the
// browser replaced by recorders that tests can read and answer; and a folder of the test's files.
struct ControllerFixture
{
    QList<Alert> alerts;
    QList<int> alertAnswers; // consumed in order; the default button when empty
    QList<PanelRequest> panelRequests;
    std::optional<QString> panelChoice; // none: the user cancels
    QList<QUrl> opened;                 // by the browser, or tried
    bool browserOpens = true;           // false: no browser could be started
    QTemporaryDir dir;

    MainInterface interface;
    import_cue controller{interface.mainWindow(), interface.statusSheet(), interface.feedbackSheet(),
                          ControllerServices{[this](const Alert &alert) {
                                                 alerts.append(alert);
                                                 return alertAnswers.isEmpty() ? 0 : alertAnswers.takeFirst();
                                             },
                                             [this](const PanelRequest &request) {
                                                 panelRequests.append(request);
                                                 return panelChoice;
                                             },
                                             [this](const QUrl &url) {
                                                 opened.append(url);
                                                 return browserOpens;
                                             }}};

    ControllerFixture() { controller.awakeFromNib(); }

    // Writes the file, and the folders it needs, under dir; gives its path.
    QString put(const QString &name, const QByteArray &bytes = "x")
    {
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        return writeFile(path, bytes) ? path : QString();
    }
    template <typename Widget> Widget *find(const QString &name)
    {
        return interface.mainWindow()->findChild<Widget *>(name);
    }
    // Puts a path into the cue sheet field and reads it, as choosing it would.
    void readCue(const QString &path) { controller.openFiles({path}); }
    void chooseAudio(const QString &path)
    {
        panelChoice = path;
        controller.select(find<QPushButton>(u"chooseAudioButton"_s));
    }
    // The message of the one alert that starting a split shows; empty when it shows none.
    QString splitRefusal()
    {
        alerts.clear();
        controller.startSplit();
        return alerts.size() == 1 ? alerts.constFirst().message : QString();
    }
    QString cell(int row, int column = 3) const
    {
        return controller.table->model()->index(row, column).data().toString();
    }
    int rows() const { return controller.table->model()->rowCount(); }
};

// Sends a drag of paths or addresses, with their text too, over a widget and drops it, as a file manager's drag
// arrives. True when the widget took the drag as a copy.
inline bool dragAndDrop(QWidget *target, const QStringList &paths)
{
    QMimeData mime;
    for (const QString &path : paths)
        mime.setUrls(mime.urls() << QUrl::fromUserInput(path));
    mime.setText(mime.urls().constFirst().toString()); // what a plain line edit would insert
    const QPoint centre = target->rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted() || enter.dropAction() != Qt::CopyAction)
        return false;
    QDropEvent drop(QPointF(centre), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return true;
}

// Settings of this process alone, never the user's, and never those of the same test of another build that runs
// at the same time.
inline void useOwnSettings()
{
    QStandardPaths::setTestModeEnabled(true);
    static QTemporaryDir folder;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path());
}
