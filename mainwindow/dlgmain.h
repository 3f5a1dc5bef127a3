#ifndef NALVO_MAINWINDOW_DLGMAIN_H
#define NALVO_MAINWINDOW_DLGMAIN_H

#include "mainwindow/copycomparison.h"
#include "mainwindow/daylisttext.h"
#include "foundation/mapping.h"
#include "player/playertypes.h"
#include "foundation/qpath.h"
#include "report/qmetadatathread.h"
#include "report/reportsetupfile.h"
#include "take/soundperform.h"

#include <QDir>
#include <QHash>
#include <QItemSelection>
#include <QList>
#include <QMainWindow>
#include <QMap>
#include <QModelIndex>
#include <QPoint>
#include <QPointer>
#include <QSet>
#include <QSize>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace Ui {
class DlgMain;
}

class IniKeys;
class MessageLoging;
class QAction;
class QBriselFSFilterProxyModel;
class QBriselFSModel;
class QCheckBox;
class QCustomVum;
class QDialogSetup;
class QDialogSetupPdf;
class QFrame;
class QSettings;
class QGraphicsScene;
class QKeyEvent;
class QLabel;
class QMenu;
class QMyLineEdit;
class QMySlider;
class QNewFolderCommands;
class QPanPotItem;
class QPushButton;
class SaveBatch;
class SfxPlayer;
class QTimer;
class QTrackButton;

// One selected take of the browser: where it lives, its name and files.
struct tyTakePathDescription {
    QString czMediaPath;   // folder holding the project folder
    QString czProject;     // project folder name with its suffix
    QString czDay;         // day folder name with its suffix
    QString czFileTag;     // the take name as the tree shows it
    QString czTakePath;    // folder + take name, without extension
    QString czFilePath;    // the selected file
};

// Sorts a selection by take name (case-sensitive text order).
bool selectedTakeLessThan(const tyTakePathDescription& a, const tyTakePathDescription& b);

// Marks an advanced scene field that each take of a selection keeps.
extern const char* const METADATA_ADV_TEMPL_FIELD_DONTCHANGE_VALUE;

// The application's only main window: the browser pane, the take view with
// the metadata editor, the 24-track strip, the timeline, the routing grid and
// the day-list page. The behaviour is split by concern over dlgmain_*.cpp.
class DlgMain : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr int kTracks = 24;
    static constexpr int kPairs = 12;

    explicit DlgMain(QWidget* parent = nullptr);
    ~DlgMain() override;

    // Settings file (config/Nalvo.ini).
    void LoadIniSettings();
    void SaveIniSettings();

    // The take name line with its read-only and iXML marks.
    void SetDisplayName(QString name);
    // Every character that is neither a letter nor a digit becomes a space.
    static void RemoveInvalidateChar(QString* s);

    // Meters: master meters, strip frames, preferences to every meter.
    void InitMainVum();
    void updateVumeterFrame(int track);
    void UpdateVumeterParam();

    QString SettingsFilePath() const;

    // ---- Selection dispatcher ----------------------------------------------
    // Opens one take in m_SndPerform and shows it; true when it loaded with
    // status 0.
    bool DispatchFileInfos(QString takePath, QString extension);

    // ---- Metadata editor ----------------------------------------------------
    void EnableEditorModeSingle();
    void EnableEditorModeMulti();
    void FillAdvancedTemplate(bool multi, bool bCanChangeScene);
    void SetInfosEditor();
    // The file-name choice set, without marking an edit, to the shown
    // take's own name form, or with several takes to none.
    void ShowOwnNameForm(bool severalTakes);
    void DisplayEditContains();
    void DisplayEditTracksContains();
    bool ExtractAdvancedTemplate(QString* composition, QHash<int, QString>* texts);

    // ---- Applying, saving and renaming ------------------------------------------
    // Writes the editor's pending changes into every selected take; with
    // refresh, the browser is read again and the takes selected again under
    // their new names. False when a take could not be saved: the editor
    // then keeps the typed values and stays marked changed.
    bool ApplyMetadataChanges(bool refresh);
    // The editor's values one Apply writes into every selected take. With
    // several takes (bMulti) an empty text, and template -1, leave each
    // take's own.
    struct tyEditorValues {
        bool bMulti = false;
        QString czScene;
        QString czTakePrefix;
        QString czTakeNumber;
        int nScTkTemplate = -1;
        QString czNote;
        QString czUbits;
        QString czTape;
        QString czCircled;
        QString* pczTrackNames = nullptr;   // QSoundPerform::kMaxTracks names
        bool bConvertToShort = false;
        bool bConvertToLong = false;
        int nValSeparator = -1;   // 0 "==", 1 "_", -1 the take's own form
        QList<int> lnAdvancedTemplateCompo;
        QStringList lczAdvancedTemplateFields;
    };
    // The takes at takePaths, each with the same edits; per take the new
    // take root after a rename, else empty. Nothing is told here: a take not
    // saved is named in m_lczUnsavedTakes, one saved but not renamed, or
    // refused as write-protected, in m_lczApplyNotes.
    QStringList SaveMetadata(const QStringList& takePaths, const QString& extension, const tyEditorValues& values);
    QString ConvertToShortName(QSoundPerform* take);
    QString ConvertToLongName(QSoundPerform* take, int nValSeparator, QString takePrefix, QString takeNumber,
                              int nScTkTemplate);
    void SetNewNameParams(QPath path);
    struct tyPendingSave;
    // One take of SaveMetadata loaded and its edits made in memory; false
    // (named in m_lczUnsavedTakes or m_lczApplyNotes) when it is not to be saved.
    bool PrepareSave(const QString& takePath, const QString& extension, const tyEditorValues& values,
                     tyPendingSave* pending);
    // Saves the group's takes side by side (batch: the same takes, as
    // gathered), then renames each one saved; its new take root goes to
    // results at its index. Empties the group and the batch.
    void SaveAndRenameGroup(std::vector<tyPendingSave>* group, SaveBatch* batch, QStringList* results);
    // The new take root when the saved take's files were renamed, else empty.
    QString RenameSavedTake(tyPendingSave& pending);
    // take is another load of the take shown (m_SndPerform).
    bool IsShownTake(const QSoundPerform& take) const;

    // ---- The opened take in the player ------------------------------------
    // Called by the selection dispatcher once a single take was opened into
    // m_SndPerform: sets the strip up from the take's iXML, fills the
    // timeline, loads and applies the take's settings file and creates the
    // take's player (state 0 shown at once).
    void OpenTakeInPlayer();
    // The take's timeline: its data, time codes and waveform, also for a
    // damaged take that is shown but cannot be played.
    void ShowTakeTimeline();
    // Called before the dispatcher leaves the shown take (another selection,
    // a metadata save, the window closing) and before the take object is
    // emptied or reloaded: stops and deletes the player, keeps the preset
    // label and, when the user changed the strip, the take's settings file
    // (the mirror folder's twin on a write-protected card). Safe without a
    // player.
    void CloseTakeInPlayer();
    SfxPlayer* Player() const;

    // Strip set-up for the opened take and the timeline's take data.
    void EnablePlayerModeSingle();
    void SetInfosPlayer();
    void ResetSoloTrack();
    void TrackPanChange(int code, int track);
    static QString Convert2TC(unsigned long seconds);
    void DisableBeforePlay();
    void EnableAfterStop() {}

    // Player settings files and presets.
    // label: the preset's name, written with the mix. False, after a
    // message, when the file keeps what it held.
    bool SaveSettings(QString file, const QString* label = nullptr);
    // A take's settings, from the mirror twin on a write-protected card
    // where that is the newer.
    void LoadSettings(const QString& file);
    // The strip from the file as it is; mirror: a twin, whose virtual
    // track names and metadata are shown too.
    void LoadSettingsFrom(const QString& file, bool mirror);
    void ApplySettings();
    void SavePresetLabel();
    void LoadPresetLabel(short n);
    // False when the preset was not kept (said by a box or a message).
    bool SaveConfigFromPlayer(short n);
    void LoadConfigToPlayer(short n);
    // Preset n (1..5) in the settings folder.
    QString PresetFilePath(int n) const;
    // The file preset n is read from: PresetFilePath(n), or its mirror
    // twin (SettingsStore::ReadPreset).
    QString PresetReadPath(int n) const;
    // The settings file of a take's audio file path.
    static QString TakeSettingsFilePath(const QString& audioPath);

    // Reached by the settings, the form and the tests.
    std::unique_ptr<Ui::DlgMain> ui;
    QDir m_StartDir;
    QSoundPerform m_SndPerform;
    std::unique_ptr<QBriselFSModel> m_pFSModel;
    std::unique_ptr<QBriselFSFilterProxyModel> m_pFSProxyModel;
    // The day list's loader; the destructor stops it before anything it
    // sends to is withdrawn.
    std::unique_ptr<QMetadataThread> m_pMetadataThread;
    QDialogSetup* m_pDlgSetup = nullptr;
    // The report setup dialog, kept for the window's life (Qt parent).
    QDialogSetupPdf* m_pDlgSetupPdf = nullptr;
    bool m_bEditMetadata = false;

    // The current selection's takes, sorted by take name; what Apply writes.
    QList<tyTakePathDescription> m_ltLastSelectionPathDescription;
    QString m_czTakeExtension;
    bool m_bMultiHasAdvancedTemplate = false;
    bool m_bMultiCanChangeScene = true;
    // Scene/take template of the shown take (-1 none) and its advanced
    // fields: codes in composition order and their texts.
    int m_nScTkTemplate = -1;
    QList<int> m_lnAdvFieldCode;
    QStringList m_lczAdvFieldText;

    QString m_czLastFilePath;
    QString m_czLastFileTag;

    // Meter and waveform preferences (groups "Vumeter" and "Timeline").
    int m_nBalistic = 4;
    int m_nBlueLine = 23;
    int m_nYellowZone = 11;
    int m_nRedZone = 28;
    int m_nPeakHold = 20;
    int m_nGrid = 1;
    int m_nScale = 0;
    int m_nPrePost = 1;
    tPlayWavDisplayMode m_nWavDisplayMode = WavDisplayCenteredLinear;
    int m_nSoloMask = 0;
    int m_nMuteMask = 0;

    // Transport.
    unsigned long m_nPlayTime = 0;
    bool m_bResumeAfterSeek = false;
    quint64 m_nCurrentSamplePos = 0;
    int m_nPresetIndex = 0;

    // Report setup and import state, kept in the settings file.
    int m_nReportGenType = 5;
    QString m_czReportSetupPath;
    QSize m_sizeDlgSetupPdf = QSize(0, 0);
    QPoint m_posDlgSetupPdf = QPoint(-1, -1);
    // The report setup: kept here, read from and written to the
    // report-setup file (m_czReportSetupPath) with the settings.
    tyReportSetup m_ReportSetup;
    // The setup as read from a file that did not read whole: that file is
    // written over only when the user changed the setup, after a backup.
    tyReportSetup m_ReportSetupAsRead;
    bool m_bReportSetupFileIntact = true;
    int m_nImportLastID = 0;
    QString m_czImportLastPath;

    // Per-track and per-pair widgets of the strip, index 0..23 / 0..11.
    QCustomVum* m_pVum[kTracks] = {};
    QTrackButton* m_pTrackButton[kTracks] = {};
    QPanPotItem* m_pPanPot[kTracks] = {};
    QMySlider* m_pSliderVolume[kTracks] = {};
    QPushButton* m_pButtonMute[kTracks] = {};
    QPushButton* m_pButtonSolo[kTracks] = {};
    QMyLineEdit* m_pEditTrackName[kTracks] = {};
    QFrame* m_pFrameTrack[kTracks] = {};
    QFrame* m_pFrameMs[kPairs] = {};
    QFrame* m_pFrameMsBack[kPairs] = {};
    QCheckBox* m_pCheckBoxMs[kPairs] = {};
    QCustomVum* m_pMainVumL = nullptr;
    QCustomVum* m_pMainVumR = nullptr;

    QList<QMyLineEdit*> m_ltAdvEdit;
    QList<QLabel*> m_ltAdvLabel;
    QList<QFrame*> m_ltAdvFrame;
    QList<QFrame*> m_ltAdvCheckFrame;
    QList<QCheckBox*> m_ltAdvCheckBox;
    QMap<int, QString> m_mapVolumeText;

    QString m_czContextPath;
    QMenu* m_pContextMenu = nullptr;
    QAction* m_pActionContextDir = nullptr;
    QTimer* m_pTimerDisplay = nullptr;
    QTimer* m_pTimerHideProgress = nullptr;
    QTimer* m_pTimerSelection = nullptr;

    // Names copied by "Copy Names", pasted by the paste button.
    QString m_czTrackNameClipboard[kTracks];

    // Open message boxes of the message channel.
    int OpenMessageBoxCount() const { return m_nMessageBoxCount; }

signals:
    void signal_InGridTrackMapChanged(QMapping, int, bool);
    void signal_InGridTrackPanChanged(tPostFadePan, int, bool);
    void signal_InGridTrackActiveChanged(tTrackActive, int, bool);
    void signal_SoloTrack(int);
    void signal_WavformMode(tPlayWavDisplayMode);

public slots:
    void slot_test();
    void OnCheckBox_StateChanged_EnableFullBrowse(int state);
    void slot_SwitchView();
    void slot_List(QStringList names);
    void slot_onCustomContextMenu(const QPoint& pos);
    void slot_actionContextDirTriggered(bool);
    void slot_InputLogingMessage(QString title, QString text, int code, int level, bool flag, int timeout);
    void slot_InputLoggingMessageBoxDestroyed();
    void slot_MetadataThreadStateChanged(int state, int value);
    void slot_Button_ApplyChanges();
    void slot_Button_ShowToolbar();
    void slot_Button_ShowBrowser();
    void slot_Button_ReloadTree();
    void slot_CopyTrackNamesClicked();
    void slot_PasteTrackNamesClicked();
    void slot_Preferences(bool);
    void slot_PreferencesChanged();
    void OnTimer_HideProgressBar();
    void slot_AddNewProject();
    void slot_AddNewDay();
    void slot_WavformModeClicked(bool);
    void slot_WavformModeChanged(tPlayWavDisplayMode mode);
    void OnDirBrowseSelChanged(const QItemSelection&, const QItemSelection&);
    void slot_TimerSelectionChanged();
    void slot_treeExpanded(const QModelIndex& index);
    void slot_treeCollapsed(const QModelIndex& index);
    void slot_EditMetadataKeyPressed();
    void slot_EditTracksKeyPressed(int track);

    // Transport and meter refresh.
    void OnPushButton_Play();
    void OnPushButton_Stop();
    void OnPushButton_ToggleMode();
    void slot_SliderMovedSldTime(int second);
    void slot_UserPlayPosRequest(int samplePos);
    void slot_UserPlayPosRelease();
    void slot_SliderReleasedSldTime();
    void slot_SndPerformSamplePosChanged(unsigned long position);
    void slot_SndPerformTimeChanged(unsigned long time);
    void slot_NewStateFromAudioMotor(short state);
    // The player waits for its output (a sound server that was just
    // restarted answers late): said in the player's title once the wait
    // lasts, so that a start that answers at once shows nothing.
    void slot_OutputWait(bool waiting);
    void ShowOutputWait();
    // Every track and master meter dark, their peaks dropped.
    void ClearMeters();
    void OnTimer();

    // Track strip.
    void slot_SliderVolumeValueChanged(int track);
    void slot_PanPotItemClicked(int track);
    void slot_MuteButtonToggled(int track);
    void slot_MuteButtonClicked(int track);
    void slot_SoloButtonToggled(int track);
    void slot_SoloButtonClicked(int track);
    void slot_MsCheckBoxClicked(int pair);
    void slot_VumeterClicked(int track);
    void slot_TrackButtonPressed(int track);
    void slot_TrackButtonReleased(int) {}
    void slot_SoloTrack(int mask);

    // Presets.
    void slot_PresetsSelChanged(int index);
    void slot_SavePresetClicked();
    void slot_ApplyPresetClicked();

    // Report commands (dlgmain_report.cpp).
    void slot_DoReport(bool);
    void slot_ReportSetup(bool);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void ForwardKeyToTree(QKeyEvent* event);
    void keyReleaseEvent(QKeyEvent*) override {}

public:
    // Reads the report-setup file (empty path: the built-in setup) and
    // pushes it to the loader and the day list.
    void InitReportSetup(QString path);
    // Writes the setup; false (after a warning) when the file does not hold
    // it (true, after a warning, when only its folder could not be synced).
    bool SaveReportSetup(QString path);

    // "File Process" and "Import" of the menu (dlgmain_process.cpp, dlgmain_import.cpp).
    void slot_ProcessFiles(bool);
    void slot_ImportFiles(bool);

private:
    void InitFont();
    void InitTreeView();
    void InitTrackWidgets();
    // Marks the window's covering background layers opaque.
    void MakeBackgroundLayersOpaque();
    void InitEditorLimits();
    void ConnectSignals();
    // The editor and the player, empty and disabled until a take is shown.
    void ResetEditorAll();
    void DisableEditorAll();
    void ResetPlayerAll();
    void DisablePlayerAll();
    void ConnectPlayerSignals();
    // Arrow-key seek by a step in seconds (negative backwards).
    void SeekBySeconds(int step);
    // The routing, pan and arming of strip position k sent to the grid.
    void SendTrackToGrid(int track, tPostFadePan pan, const QMapping& mapping, tTrackActive active);
    // Meter look of a track from its routing: input colour, mixdown kind.
    void ColourMeterFromMapping(int track, const QMapping& mapping, int mixRole, bool msPair);
    void EnableTrackControls(int track, bool enabled);
    // Disables the track controls a held selection left enabled (none
    // waits: nothing).
    void SettleTrackControls();
    void ShowStripFrames(int lastTrack);
    // Holds (or releases) the strip's and the master meters' repaints.
    void HoldMeterRepaints(bool hold);
    // A track that takes part in the solo: a file, or an armed recorder track.
    bool TrackCounts(int track, int activeIndex) const;
    // The take's mute flags from the solo mask and the mute buttons: the
    // one writer of those flags.
    void WriteMuteFlags();
    // The four preset controls: combo, label, save and apply.
    QList<QWidget*> PresetControls() const;
    // Enables them and shows the chosen entry's state.
    void EnablePresetControls();
    // Day list: where the selected day's path comes from (the day loader
    // once it exists).
    void InitDayList();
    QString CurrentDayListPath() const;
    void RestoreLastSelection();
    QModelIndex SingleSelectedRow() const;
    // The keys SaveIniSettings writes.
    void FillIniSettings(IniKeys& settings) const;
    // Tells the user that preset n is in the mirror folder, and why.
    void TellPresetKeptAside(int n, const QString& why);
    void TellPresets(const QString& text);
    // The presets kept in the mirror folder move into the settings folder
    // where newer (SettingsStore::SettlePreset); what stays is told, an
    // older copy that cannot be removed once.
    void SettlePresets();
    // A take's mirror twin older than the mix on its writable card is
    // removed (SettingsStore::SettleTake); one that stays is told once.
    void SettleTakeTwin(const QString& file);
    // The preset entry as the disk holds preset index: "Empty", "N.A", or
    // its name with Apply Preset.
    void ShowPreset(int index);
    // The name box shows the name of a preset that holds a mix.
    bool m_bPresetNamed = false;
    // Older mirror copies of presets and takes told as staying.
    QSet<QString> m_TwinsTold;
    static constexpr int kPresets = 5;
    void ConnectEditorSignals();
    void ConnectSelectionSignals();

    // The take line says why the selected take (its name in the line) is
    // not opened, or not for editing, and what to do, over the file-name
    // choice it does not need; the full text is its tool tip. A take opened
    // for editing (editable) keeps that choice: the line ends before it.
    // An empty text gives the line back to the take's name.
    void ShowTakeProblem(const QString& text, bool editable = false);
    // The shown take's namesakes its load left uncompared are compared with
    // their members apart (m_CopyComparison): the line says what each is
    // once its comparison ends, if the take is still shown.
    void ShowComparedCopies();
    // What a selected day holds that neither view lists: how many of its
    // WAV files name no take (the browser's listing of the day says, the
    // day listed first if it never was), and that Import reads them. Empty
    // when there are none.
    QString UnlistedFilesLine(const QString& dayPath);
    // After a load, once the selection being handled is done: the
    // browser's rows of the day (of one family; empty: all) that a load
    // found to stand for no member of their take, by the heads it kept,
    // are listed alone (the
    // rows filtered again keep the takes selected, see FilterRowsAgain).
    void ListStrangersAlone(const QString& dayPath, const QString& family);
    // The browser's rows filtered again after the tree changed. The row
    // that stands for a take may move to another of its files (one
    // arriving listed with it, one a load found to be a stranger and lists
    // alone): the takes shown stay selected on their rows as they are now,
    // without being loaded again (the editor keeps what was typed), unless
    // the user has chosen other rows meanwhile.
    void FilterRowsAgain();

    // The template of one take of a multiple selection (Template probe).
    void ProbeTemplate(const QModelIndex& row, const tyTakePathDescription& take);
    // Enables the name edits of the shown take's tracks.
    void EnableTrackNameEdits();
    // The recorder tracks the open take holds: its files, or a poly file's channels.
    void PresentRecorderTracks(bool (&present)[kTracks]) const;
    // Moves a take's files as planned; a clash or failure is named in
    // m_lczApplyNotes and nothing has moved then. The new path of the poly
    // file or of the first present track's file, or empty.
    QString RenameTake(QSoundPerform* take, bool toLong, bool underscore, const QString& middle);
    // The take selected as oldName was found under renamedPath (see
    // QSoundPerform::RenamedTakePath): the selection follows it there, and
    // the take line says where it went.
    void FollowRenamedTake(const QString& oldName, const QString& renamedPath, bool takenBack);
    // Selects the browser rows of these takes ("<day folder>/<take name>",
    // as the rows' take path role gives them), whichever file stands for each.
    void SelectTakePaths(const QStringList& takePaths);
    QItemSelection TakeRows(const QStringList& takePaths) const;
    // The take paths of the selected take rows, sorted.
    QStringList SelectedTakePaths() const;
    void SelectRows(const QItemSelection& selection);
    // Tells, in one box, what the last apply could not do: the takes not
    // saved (with offerKeep the user may keep editing them) and what
    // m_lczApplyNotes holds, which is then told. True when the user keeps
    // editing. An apply that saved every take tells its notes itself; one
    // that did not leaves the telling to its caller, which may offer to
    // keep editing.
    bool ReportUnsavedTakes(bool offerKeep);
    // After an apply that saved every take: the browser's days read again
    // and the takes selected (under their new names, as selection holds
    // them; refreshedDays empty: the selection as it is), shown, and the
    // take reopened in the player where it stood.
    void ShowAppliedTakes(const QStringList& refreshedDays, const QList<tyTakePathDescription>& selection,
                          bool reopen, quint64 resumeSecond);
    // After an apply that did not save every take: the editor keeps its
    // values for the takes of the current selection, selected again on the
    // rows that stand for them now (a take the apply saved and renamed on
    // its new row, its day read again), and a dispatch of that selection
    // applies nothing.
    void HoldFailedEdits();
    // Each take of the current selection is known by the file that stands
    // for it among rows; the number of takes found there.
    int SettleTakeFiles(const QItemSelection& rows);
    // The selected rows' files are the takes of the current selection.
    bool SelectionIsCurrent(const QModelIndexList& rows) const;

    // The take line's problem text, over the file-name line and choice
    // (made on first use).
    QLabel* m_pLabelTakeProblem = nullptr;
    // Damaged takes whose box was shown: arrowing back over one does not
    // raise it again. Takes as "folder/name".
    QSet<QString> m_lczToldDamagedTakes;
    // True while a dispatch or an apply runs: a modal box's event loop may
    // fire the selection timer again.
    bool m_bDispatching = false;
    // Set while a selection is shown: the strip frames take their colours
    // once it is, not at each step of emptying the strip and filling it.
    bool m_bHoldFrameSheets = false;
    // The number of strip frames to show once the held selection is shown;
    // -1: no change waits.
    int m_nHeldStripFrames = -1;
    // Set while a held selection has emptied the strip but left its track
    // controls as they were: a take of the same tracks enables them again,
    // and each one disabled and enabled on the way is painted anew. Nothing
    // reads them before the take enables its own or the selection settles.
    bool m_bTrackControlsPending = false;
    // Shows the first count strip frames and hides the others (held, the
    // count waits for the selection to be shown).
    void SetStripFramesShown(int count);
    void DispatchSelection();
    // Set while a key is handed to the browser tree: a key the tree ignores
    // travels back up its parents to this window, which must not send it again.
    bool m_bForwardingKey = false;
    bool m_bApplying = false;
    // Takes whose save failed during the last apply, as "name: why".
    QStringList m_lczUnsavedTakes;
    // What else the last apply could not do, one text per take (saved but
    // not renamed, refused as write-protected), until it is told.
    QStringList m_lczApplyNotes;
    // The last apply failed: the editor keeps its values for the takes
    // still selected in the tree.
    bool m_bHoldFailedEdits = false;
    // The last apply refused a take its new names (a file its metadata
    // lists is held out): the name choice goes back to the files' names.
    bool m_bNameChangeRefused = false;

    // Report: the data layout on to the loader and the day list.
    void PushReportDataSetup();


    std::unique_ptr<QNewFolderCommands> m_pNewFolderCommands;
    QGraphicsScene* m_pSceneVumL = nullptr;
    QGraphicsScene* m_pSceneVumR = nullptr;
    // The opened take's player, a child of the window deleted early by
    // CloseTakeInPlayer; m_SndPerform.m_pSfxPlayer points at it. Guarded:
    // whoever deletes it through the take's link leaves no dangling pointer.
    QPointer<SfxPlayer> m_pPlayer;
    // The player state last shown; -1 so that the first notice applies.
    short m_nLastPlayerState = -1;
    // Between the player's notices that its start waits and that the wait ended.
    bool m_bOutputWaiting = false;
    QTimer* m_pTimerOutputWait = nullptr;
    // A seek stopped the player; its position notices are stale until it
    // reports the stop.
    bool m_bSeekStopPending = false;
    // The user changed the strip of the opened take since it was loaded:
    // leaving the take writes its settings file (a take only looked at
    // leaves no file behind on the card).
    bool m_bStripChanged = false;
    void MarkStripChanged() { m_bStripChanged = !m_pPlayer.isNull(); }

    int m_nMessageBoxCount = 0;
    QPoint m_ptMessageCascade;
    bool m_bMessageCascadeKnown = false;
    // The window is going: a message sent meanwhile (the last mix or edits
    // not written) is read before it goes, not shown and destroyed at once.
    bool m_bClosing = false;
    DayListProgress m_DayListProgress;
    // Stopped as the shown take is left, and joined as the window goes.
    CopyComparison m_CopyComparison;
};

#endif
