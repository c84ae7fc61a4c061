#pragma once

#include "core/audio/audioformat.h"
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

class EncodingPicker;
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
class WebActions;

namespace Ui {
class hauptFenster;
class statusFenster;
} // namespace Ui

namespace velvane {
struct AlbumFields;
struct CueReading;
struct TextEncoding;
class TrackTableModel;
} // namespace velvane

// What the controller shows to the user goes through these, so tests can record and answer it.
struct ControllerServices
{
    AlertFunction alert;
    OpenPanelFunction openPanel;
    BrowserFunction browser;
};

// The main window controller: owns the main window's controls through its outlets, receives the actions of
// the main window and the status sheet, and holds the current cue sheet's track list. The feedback sheet's,
// the update check's and the web links' actions pass through to WebActions.
class import_cue : public QObject, public MyTextFieldDelegate
{
    Q_OBJECT
public:
    // Builds the three windows from their interface files.
    import_cue(QMainWindow *mainWindow, QDialog *statusSheet, QDialog *feedbackSheet, ControllerServices services,
               QObject *parent = nullptr);
    ~import_cue() override;

    void awakeFromNib();

    // Cue sheet import. The sheet's text operations (cleanedString, searchAudioInLines) and the file-name cleaning
    // (cleanedFilename) live in the core under those names, where the command line shares them. The sheet's lines
    // come from readCueFileBytes and linesInText: a call from path to lines alone would drop the read error.
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
    velvane::AudioFormat _audioFormat = velvane::AudioFormat::Mp3;

private:
    // Built first, since the outlets point into them. A control renamed in an interface file breaks the build.
    std::unique_ptr<Ui::hauptFenster> m_main;
    std::unique_ptr<Ui::statusFenster> m_status;
    std::unique_ptr<WebActions> m_web;

public:
    // Outlets: the controls the operations above work on, fixed for the controller's life.
    QLineEdit *const album_title;
    QLineEdit *const album_year;
    MyTextField *const cue_file;
    QLineEdit *const cuePath; // no operation reads or writes it
    QComboBox *const genre;
    QMainWindow *const hauptFenster;
    MyTextField *const home_dir;
    MyTextField *const mp3_file;
    QLabel *const processed;
    QProgressBar *const statusBar;
    QDialog *const statusFenster;
    QTableView *const table;
    QLabel *const processing;
    QLabel *const charLeft;
    QLineEdit *const mailaddy;
    QDialog *const feedbackFenster;
    QLabel *const feedbackInfos;
    QPlainTextEdit *const feedbackMessage;
    QPushButton *const closeButton;

private:
    void setUpTable();
    void connectMainActions();
    void connectSplitActions();
    // With an encoding, the current sheet is read again with it: only what its text says changes.
    void applyCueReading(const QString &path, const velvane::TextEncoding *encoding = nullptr);
    void readTypedCue();
    void showAlbumFields(const velvane::AlbumFields &fields);
    [[nodiscard]] static QString yearHint();
    [[nodiscard]] bool readAgainWith(const velvane::TextEncoding &encoding);
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
    EncodingPicker *m_encoding = nullptr;
    velvane::TrackList m_readTracks; // the tracks as read, to tell whether the table was edited since
    bool m_quitConfirmed = false;

    ControllerServices m_services;
    velvane::TrackTableModel *m_model = nullptr;
    std::unique_ptr<SplitSession> m_split;
    bool m_closing = false;
    // A cue sheet that arrived while a job ran; read when the status sheet closes.
    std::optional<QString> m_pendingCue;
};
