#pragma once

#include "dialogs/alert.h"
#include "dialogs/openpanel.h"
#include "import_cue/import_cue.h"
#include "main/maininterface.h"

#include <QFile>
#include <QList>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <optional>

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
                                             }}};

    ControllerFixture() { controller.awakeFromNib(); }

    // Puts a path into the cue sheet field and reads it, as choosing it would.
    void readCue(const QString &path) { controller.openFiles({path}); }
};

// Settings of this process alone, never the user's, and never those of the same test of another build that runs
// at the same time.
inline void useOwnSettings()
{
    QStandardPaths::setTestModeEnabled(true);
    static QTemporaryDir folder;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path());
}

inline void writeText(const QString &path, const QByteArray &text)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(text);
}

inline QByteArray workedExampleCue(const QByteArray &audioName = "Live Album.mp3")
{
    return "REM GENRE Electronic\n"
           "PERFORMER \"The Band\"\n"
           "TITLE \"Live Album\"\n"
           "FILE \"" +
           audioName +
           "\" MP3\n"
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
           "    INDEX 01 07:31:05\n";
}
