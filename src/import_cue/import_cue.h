#pragma once

#include "core/cue/trackentry.h"
#include "dialogs/alert.h"
#include "dialogs/browser.h"
#include "dialogs/openpanel.h"
#include "MyTextField/mytextfielddelegate.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class MyTextField;
class QComboBox;
class QDialog;
class QLabel;
class QLineEdit;
class QMainWindow;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableView;
class SplitSession;

namespace velvane {
struct AlbumFields;
class FetchCancel;
class TrackTableModel;
struct CueReading;
struct TextEncoding;
} // namespace velvane

// What the controller shows to the user goes through these, so tests can record and answer it.
struct ControllerServices
{
    AlertFunction alert;
    OpenPanelFunction openPanel;
    BrowserFunction browser;
};

// The main window controller: owns the main window's controls through its outlets, receives the actions of
// the main window, the status sheet and the feedback sheet, and holds the current cue sheet's track list.
class import_cue : public QObject, public MyTextFieldDelegate
{
    Q_OBJECT
public:
    // The three windows come from the interface files; their controls are found by objectName.
    import_cue(QMainWindow *mainWindow, QDialog *statusSheet, QDialog *feedbackSheet, ControllerServices services,
               QObject *parent = nullptr);
    ~import_cue() override;

    void awakeFromNib();

    // Cue sheet import. The sheet's text operations (linesInFileAtPath, cleanedString, searchAudioInLines) and the
    // file-name cleaning (cleanedFilename) live in the core under those names, where the command line shares them.
    void readCueFile();

    // Splitting
    void startSplit();
    void close();
    [[nodiscard]] bool isSplitting() const;
    // Lets a running job finish its current track without touching the windows, then joins it.
    // Call once the event loop has stopped.
    void shutdown();

    // File selection and opening
    void select(const QObject *sender);
    void controlTextDidChange(const QString &object) override;
    void audioFileDropped(const QString &path) override;
    void openFiles(const QStringList &paths);

    // Feedback form
    void openFeedback();
    void closeFeedback();
    void sendFeedback();
    void textDidChange();

    // Update check and web links
    void search_for_update();
    void donateDollar();
    void donateEuro();
    void gotoWebsite();

    // The current cue sheet: its tracks, its path (none before the first read) and the audio type.
    velvane::TrackList _tabData;
    std::optional<QString> _filePath;
    bool _isOgg = false;

    // Outlets
    QLineEdit *album_title = nullptr;
    QLineEdit *album_year = nullptr;
    MyTextField *cue_file = nullptr;
    QLineEdit *cuePath = nullptr;
    QComboBox *genre = nullptr;
    QMainWindow *hauptFenster = nullptr;
    MyTextField *home_dir = nullptr;
    MyTextField *mp3_file = nullptr;
    QLabel *processed = nullptr;
    QProgressBar *statusBar = nullptr;
    QDialog *statusFenster = nullptr;
    QTableView *table = nullptr;
    QLabel *processing = nullptr;
    QLabel *charLeft = nullptr;
    QLineEdit *mailaddy = nullptr;
    QDialog *feedbackFenster = nullptr;
    QLabel *feedbackInfos = nullptr;
    QPlainTextEdit *feedbackMessage = nullptr;
    QPushButton *closeButton = nullptr;

private:
    void connectOutlets();
    void connectMainActions();
    void connectSplitActions();
    void connectFeedbackActions();
    // With an encoding, the current sheet is read again with it: only what its text says changes.
    void applyCueReading(const QString &path, const velvane::TextEncoding *encoding = nullptr);
    void readTypedCue();
    void showAlbumFields(const velvane::AlbumFields &fields);
    [[nodiscard]] static QString yearHint();
    void showEncoding(const velvane::CueReading &reading);
    void pickEncoding(int index);
    void commitOpenEdit();
    void takeAudioFromUser(const QString &path);
    void showAudioSource();
    [[nodiscard]] std::optional<QString> splitProblem(bool filePerTrack) const;
    [[nodiscard]] bool confirmAudioFromBefore();
    [[nodiscard]] bool isJobRunning() const;
    void stopSplit();
    // True when nothing runs, or the user agreed to stop the job and quit; the job is then stopping.
    bool confirmQuit();
    bool eventFilter(QObject *watched, QEvent *event) override;

    // Where the audio field's path came from. A sheet that names no usable audio file leaves the field as it was,
    // so its path may belong to another album; a split then asks first.
    enum class AudioSource
    {
        Earlier, // neither from the current sheet nor given by the user since it was read
        Sheet,
        User
    };
    AudioSource m_audioSource = AudioSource::Earlier;
    QStringList m_sheetAudioFiles; // every audio file the current sheet names, in its order
    QLabel *m_audioFilesNote = nullptr;
    QComboBox *m_encoding = nullptr;
    QStringList m_likelyEncodings;   // what detection found for the current sheet, most likely first
    QString m_readEncoding;          // what the current sheet was read with
    velvane::TrackList m_readTracks; // the tracks as read, to tell whether the table was edited since
    QLabel *m_sheetNotice = nullptr;
    QLabel *m_statusCaption = nullptr;
    QPlainTextEdit *m_failures = nullptr;
    QPushButton *m_stopButton = nullptr;
    bool m_quitConfirmed = false;

    ControllerServices m_services;
    velvane::TrackTableModel *m_model = nullptr;
    std::unique_ptr<SplitSession> m_split;
    bool m_closing = false;
    // A cue sheet that arrived while a job ran; read when the status sheet closes.
    std::optional<QString> m_pendingCue;
    QLabel *m_sendingNote = nullptr;
    velvane::FetchCancel *m_sending = nullptr; // the feedback request on its way, if one is
    // A blocking fetch with a busy cursor; the event loop runs on, so the window repaints and cancel can be pressed.
    // showWaiting(true) before the wait and showWaiting(false) after it let the window say what it waits for and
    // keep the wait modal.
    [[nodiscard]] std::optional<QString> fetchWhileBusy(const QUrl &url, int timeoutMs,
                                                        const std::function<void(bool)> &showWaiting,
                                                        velvane::FetchCancel &cancel) const;
    void openInBrowser(const QUrl &page);
};
