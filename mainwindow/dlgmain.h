#ifndef NALVO_MAINWINDOW_DLGMAIN_H
#define NALVO_MAINWINDOW_DLGMAIN_H

#include "mainwindow/daylisttext.h"
#include "foundation/mapping.h"
#include "player/playertypes.h"
#include "report/qmetadatathread.h"
#include "take/soundperform.h"

#include <QDir>
#include <QItemSelection>
#include <QList>
#include <QMainWindow>
#include <QMap>
#include <QModelIndex>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>
#include <memory>

namespace Ui {
class DlgMain;
}

class MessageLoging;
class QAction;
class QBriselFSFilterProxyModel;
class QBriselFSModel;
class QCheckBox;
class QCustomVum;
class QDialogSetup;
class QFrame;
class QGraphicsScene;
class QLabel;
class QMenu;
class QMyLineEdit;
class QMySlider;
class QNewFolderCommands;
class QPanPotItem;
class QPushButton;
class QTimer;
class QTrackButton;

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

    // Reached by the settings, the form and the tests.
    Ui::DlgMain* ui;
    QDir m_StartDir;
    QSoundPerform m_SndPerform;
    QBriselFSModel* m_pFSModel = nullptr;
    QBriselFSFilterProxyModel* m_pFSProxyModel = nullptr;
    // The day list's loader; the destructor stops it before anything it
    // sends to is withdrawn.
    std::unique_ptr<QMetadataThread> m_pMetadataThread;
    QDialogSetup* m_pDlgSetup = nullptr;
    bool m_bEditMetadata = false;

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

    // Report setup and import state, kept in the settings file.
    int m_nReportGenType = 5;
    QString m_czReportSetupPath;
    QSize m_sizeDlgSetupPdf = QSize(0, 0);
    QPoint m_posDlgSetupPdf = QPoint(-1, -1);
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
    // "File Process" and "Import" of the menu (dlgmain_process.cpp, dlgmain_import.cpp).
    void slot_ProcessFiles(bool);
    void slot_ImportFiles(bool);

private:
    void InitFont();
    void InitTreeView();
    void InitTrackWidgets();
    void InitEditorLimits();
    void ConnectSignals();
    // The editor and the player, empty and disabled until a take is shown.
    void ResetEditorAll();
    void DisableEditorAll();
    void ResetPlayerAll();
    void DisablePlayerAll();
    // Day list: where the selected day's path comes from (the day loader
    // once it exists).
    void InitDayList();
    QString CurrentDayListPath() const;
    void RestoreLastSelection();
    QModelIndex SingleSelectedRow() const;

    std::unique_ptr<QNewFolderCommands> m_pNewFolderCommands;
    QGraphicsScene* m_pSceneVumL = nullptr;
    QGraphicsScene* m_pSceneVumR = nullptr;

    int m_nMessageBoxCount = 0;
    QPoint m_ptMessageCascade;
    bool m_bMessageCascadeKnown = false;
    DayListProgress m_DayListProgress;
};

#endif
