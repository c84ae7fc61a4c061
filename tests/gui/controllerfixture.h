#pragma once

#include "dialogs/alert.h"
#include "dialogs/openpanel.h"
#include "import_cue/import_cue.h"
#include "main/maininterface.h"
#include "MyTextField/mytextfield.h"
#include "support/files.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QMainWindow>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <optional>

using velvane::test::writeFile;

// The main window with its controller, as the app builds them, with the alert, the open panel and the
// browser replaced by recorders that tests can read and answer.
struct ControllerFixture
{
    QList<Alert> alerts;
    QList<int> alertAnswers;  // consumed in order; the default button when empty
    AlertFunction shownAlert; // when set, alerts are also shown by it and its answer counts
    QList<PanelRequest> panelRequests;
    std::optional<QString> panelChoice; // none: the user cancels
    QList<QUrl> openedUrls;
    bool browserOpens = true; // false: no browser could be started

    MainInterface interface;
    import_cue controller{interface.mainWindow(), interface.statusSheet(), interface.feedbackSheet(),
                          ControllerServices{[this](const Alert &alert) {
                                                 alerts.append(alert);
                                                 if (shownAlert)
                                                     return shownAlert(alert);
                                                 return alertAnswers.isEmpty() ? 0 : alertAnswers.takeFirst();
                                             },
                                             [this](const PanelRequest &request) {
                                                 panelRequests.append(request);
                                                 return panelChoice;
                                             },
                                             [this](const QUrl &url) {
                                                 openedUrls.append(url);
                                                 return browserOpens;
                                             }}};

    ControllerFixture() { controller.awakeFromNib(); }

    // Puts a path into the cue sheet field and reads it, as choosing it would.
    void readCue(const QString &path) { controller.openFiles({path}); }
    void chooseAudio(const QString &path)
    {
        panelChoice = path;
        controller.select(interface.mainWindow()->findChild<QPushButton *>(QStringLiteral("chooseAudioButton")));
    }
    QString cell(int row, int column = 3) const
    {
        return controller.table->model()->index(row, column).data().toString();
    }
};

// Sends a drag of paths or addresses, with their text too, over a widget and drops it, as a file manager's drag
// arrives. True when the
// widget took the drag as a copy.
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

inline QByteArray workedExampleCue(const QString &audioName = QStringLiteral("Live Album.mp3"))
{
    return QStringLiteral("REM GENRE Electronic\nPERFORMER \"The Band\"\nTITLE \"Live Album\"\nFILE \"%1\" MP3\n"
                          "  TRACK 01 AUDIO\n    TITLE \"Intro\"\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n"
                          "    TITLE \"Second Song\"\n    PERFORMER \"The Band feat. Guest\"\n    INDEX 00 03:58:40\n"
                          "    INDEX 01 04:00:12\n  TRACK 03 AUDIO\n    TITLE \"Outro\"\n    INDEX 01 07:31:05\n")
        .arg(audioName)
        .toUtf8();
}
