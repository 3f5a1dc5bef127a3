// DlgMain: construction, widget limits, wiring and teardown.
#include "mainwindow/dlgmain.h"

#include "ui_dlgmain.h"

#include "report/qdialogsetuppdf.h"

#include "browser/qbriselfsfilterproxymodel.h"
#include "browser/qbriselfsmodel.h"
#include "browser/qnewfoldercommands.h"
#include "foundation/fonts.h"
#include "foundation/messageloging.h"
#include "foundation/platform/appfolders.h"
#include "player/qdialogsetup.h"
#include "player/sfxplayer.h"
#include "widgets/clickfocus.h"
#include "widgets/labelfit.h"
#include "widgets/screenfit.h"
#include "widgets/sharedfonts.h"

#include <QAction>
#include <QGroupBox>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>

namespace {
// Characters a track name and the note accept besides letters and digits
// (the duplicates are harmless and kept as the recorder lists them).
QStringList NameExtraCharacters()
{
    return {"-", "/", "_", "'", ":", " ", "(", ")", "[", "]", "!", "\"", "$",
            "%", "\\", ",", ".", ";", "=", "?", "@", "/", "*", "-", "+", "#"};
}

// Characters the scene and take fields refuse: they separate name parts.
QStringList SceneForbiddenCharacters()
{
    return {"-", "+", "_", "|", "\\", ":", "*", "&", "?", "\"", "<", ">"};
}

template <typename T>
T* FormChild(QWidget* window, const QString& name)
{
    T* child = window->findChild<T*>(name);
    Q_ASSERT_X(child, "DlgMain", qPrintable(name));
    return child;
}
}

DlgMain::DlgMain(QWidget* parent) : QMainWindow(parent), ui(std::make_unique<Ui::DlgMain>())
{
    InitFont();
    ui->setupUi(this);
    InitFontSize(this);
    // The take view's captions sit in fixed boxes beside their values.
    for (QLabel* caption : {ui->m_LabelFileName, ui->label_33, ui->label_Scene, ui->label_29, ui->label_34,
                            ui->label_32, ui->label_30, ui->label_31, ui->label_36, ui->label_3, ui->label_4,
                            ui->label_7, ui->label_6, ui->label_8, ui->label, ui->label_5})
        ShrinkFontToFit(caption);
    // The form's least player height is for smaller fonts: the title and
    // the transport buttons keep their room when a small screen or a take
    // without a waveform gives the player its least height.
    QGroupBox* player = ui->groupBox_Player;
    player->setMinimumHeight(qMax(player->minimumHeight(), player->minimumSizeHint().height()));

    qRegisterMetaType<tInputMasterType>("tInputMasterType");
    qRegisterMetaType<tOutputMasterType>("tOutputMasterType");
    qRegisterMetaType<QMapping>("QMapping");
    qRegisterMetaType<tPostFadePan>("tPostFadePan");
    qRegisterMetaType<tTrackActive>("tTrackActive");
    qRegisterMetaType<tPlayWavDisplayMode>("tPlayWavDisplayMode");
    RegisterTakeMetadataType();

    // Published for every subsystem; the destructor withdraws it before
    // anything that may still send is stopped.
    global_pLogger = new MessageLoging(this);

    InitDayList();
    m_pDlgSetupPdf = new QDialogSetupPdf(this);

    m_StartDir = QDir(AppFolders::ConfigFolder());

    InitTreeView();
    InitMainVum();
    MakeBackgroundLayersOpaque();

    m_bEditMetadata = false;
    ui->m_CtrlButton_ApplyChanges->hide();
    qDebug("m_ltLastSelectionPathDescription.clear()");
    m_sizeDlgSetupPdf = QSize(0, 0);
    m_posDlgSetupPdf = QPoint(-1, -1);
    m_nImportLastID = 0;
    m_czImportLastPath.clear();

    setWindowTitle(QStringLiteral("Nalvo Version %1").arg(QStringLiteral(NALVO_VERSION_STRING)));
    ui->m_CtrlProgressBar_SaveMetadata->hide();

    m_pTimerDisplay = new QTimer(this);
    m_pTimerDisplay->start(100);
    m_pTimerHideProgress = new QTimer(this);
    m_pTimerHideProgress->setSingleShot(true);
    connect(m_pTimerHideProgress, &QTimer::timeout, this, &DlgMain::OnTimer_HideProgressBar);
    m_pTimerSelection = new QTimer(this);
    m_pTimerSelection->setSingleShot(true);

    m_pContextMenu = new QMenu(this);
    m_pContextMenu->hide();
    m_pActionContextDir = new QAction(this);
    connect(m_pActionContextDir, &QAction::triggered, this, &DlgMain::slot_actionContextDirTriggered);

    InitTrackWidgets();
    InitEditorLimits();

    ResetEditorAll();
    ConnectSignals();
    ResetEditorAll();
    DisableEditorAll();
    ResetPlayerAll();
    DisablePlayerAll();
    updateVumeterFrame(-1);

    LoadIniSettings();
    KeepOnScreen(this);

    ui->m_CtrlPushButton_ToggleMode->hide();
    ui->m_CtrlAction_Import->setVisible(true);
    UpdateVumeterParam();

    m_pDlgSetup = new QDialogSetup(this);
    connect(m_pDlgSetup, &QDialogSetup::signal_ParameterChanged, this, &DlgMain::slot_PreferencesChanged);

    ui->m_CtrlStackedWidget_Metadata->setCurrentIndex(0);
    ui->m_CtrlListWidget_Files->hide();
    ui->m_CtrlLabel_Files->hide();

    // The window's own keys (Space plays, the arrows browse and seek) work
    // from the first press: the window holds the focus when it is first
    // activated. Left to the toolkit, the focus would go to the first
    // control of the tab chain, the browse-mode box, which takes Space and
    // the arrows for itself. A click on a button (Play, Apply Preset), a
    // box or a disabled field leaves them with the window too, as a click
    // on a browser row does; a click in a text field gives them to it.
    LeaveKeysWithWindowOnClick(this);
    setFocus(Qt::OtherFocusReason);
}

DlgMain::~DlgMain()
{
    // No dispatch may start while the window goes: the player thread, which
    // reads the take, ends first; then the last edits are written, while the
    // message channel still shows why a take was not saved, and a box about
    // them runs an event loop.
    m_bClosing = true;
    m_CopyComparison.Stop();
    m_pTimerSelection->stop();
    disconnect(m_pTimerSelection, nullptr, this, nullptr);
    disconnect(ui->m_CtrlTreeView->selectionModel(), nullptr, this, nullptr);
    OnPushButton_Stop();
    CloseTakeInPlayer();
    if (!ApplyMetadataChanges(false))
        ReportUnsavedTakes(false);
    // Open message boxes die with the window's children, after this body:
    // their count must not be kept by a window that is already gone.
    for (QMessageBox* box : findChildren<QMessageBox*>(QString(), Qt::FindDirectChildrenOnly))
        disconnect(box, nullptr, this, nullptr);
    SaveIniSettings();
    // The loader sends to the list and through the message channel: it
    // stops before either goes.
    m_pMetadataThread.reset();
    // Nothing may send through the channel once teardown starts deleting
    // children: withdraw it first, so late senders only reach the debug log.
    global_pLogger = nullptr;
    m_pNewFolderCommands.reset();
    m_pFSProxyModel.reset();
    m_pFSModel.reset();
    ui.reset();
}

void DlgMain::InitFont()
{
    // The form asks for "DejaVu Sans": the embedded files give every system
    // the same face and sizes.
    RegisterSharedFonts();
}

QString DlgMain::SettingsFilePath() const { return m_StartDir.absolutePath() + QStringLiteral("/Nalvo.ini"); }

void DlgMain::InitTreeView()
{
    m_pFSModel = std::make_unique<QBriselFSModel>(false);
    m_pFSProxyModel = std::make_unique<QBriselFSFilterProxyModel>(this, false);
    m_pFSProxyModel->setSourceModel(m_pFSModel.get());
    m_pFSProxyModel->setSortCaseSensitivity(Qt::CaseInsensitive);
    connect(m_pFSModel.get(), &QBriselFSModel::test_sig, this, &DlgMain::slot_test);

    QTreeView* tree = ui->m_CtrlTreeView;
    tree->header()->hide();
    tree->setUniformRowHeights(true);
    tree->setModel(m_pFSProxyModel.get());
    tree->setSortingEnabled(true);
    tree->sortByColumn(0, Qt::AscendingOrder);
    for (int column = 1; column < tree->header()->count(); ++column)
        tree->setColumnHidden(column, true);
    tree->setIndentation(10);
    tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tree, &QTreeView::customContextMenuRequested, this, &DlgMain::slot_onCustomContextMenu);

    m_pNewFolderCommands = std::make_unique<QNewFolderCommands>(this, tree, m_pFSProxyModel.get(), m_pFSModel.get());
}

void DlgMain::InitTrackWidgets()
{
    for (int t = 0; t < kTracks; ++t) {
        const QString n = QString::number(t + 1);
        m_pVum[t] = FormChild<QCustomVum>(this, "m_CtrlModuloMeter_T" + n);
        m_pTrackButton[t] = FormChild<QTrackButton>(this, "m_CtrlTrackButton_T" + n);
        m_pPanPot[t] = FormChild<QPanPotItem>(this, "m_CtrlWidget_Pan_T" + n);
        m_pSliderVolume[t] = FormChild<QMySlider>(this, "m_CtrlVerticalSlider_T" + n);
        m_pButtonMute[t] = FormChild<QPushButton>(this, "m_CtrlPushButton_Mute_T" + n);
        m_pButtonSolo[t] = FormChild<QPushButton>(this, "m_CtrlPushButton_Solo_T" + n);
        m_pEditTrackName[t] = FormChild<QMyLineEdit>(this, "m_CtrlEdit_T" + n);
        m_pFrameTrack[t] = FormChild<QFrame>(this, "m_CtrlFrame_T" + n);
    }
    for (int i = 0; i < kPairs; ++i) {
        const int a = 2 * i + 1, b = 2 * i + 2;
        const QString pair = QString::number(a) + QString::number(b);
        m_pFrameMs[i] = FormChild<QFrame>(this, QStringLiteral("m_CtrlFrame_Ms_T%1_%2").arg(a).arg(b));
        m_pFrameMsBack[i] = FormChild<QFrame>(this, "m_CtrlFrame_MsBack_" + pair);
        m_pCheckBoxMs[i] = FormChild<QCheckBox>(this, "m_CtrlCheckBox_MS_" + pair);
    }

    const char* const volumeTexts[] = {"+12 dB", "+9 dB", "+6 dB", "+3 dB", "0 dB",
                                       "-3 dB", "-6 dB", "-9 dB", "-12 dB"};
    for (int step = 0; step < 9; ++step)
        m_mapVolumeText.insert(step, QString::fromLatin1(volumeTexts[step]));

    QStringList nameExtras = NameExtraCharacters();
    for (int t = 0; t < kTracks; ++t) {
        m_pPanPot[t]->setPan(100, 100);
        QMySlider* slider = m_pSliderVolume[t];
        slider->setRange(0, 8);
        slider->setSingleStep(1);
        slider->setPageStep(1);
        slider->setInvertedAppearance(true);
        slider->setValue(4);
        slider->setTooltipMapValueToText(m_mapVolumeText);
        QMyLineEdit* name = m_pEditTrackName[t];
        name->setMaxLength(12);
        name->setDisabled(true);
        name->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
        // A full twelve-character name in a strip narrow enough for 24 of
        // them on a full-HD screen: condensed letters at the form's size.
        QFont narrow = name->font();
        narrow.setStretch(70);
        name->setFont(narrow);
        name->SetAlphaNum();
        name->AllowCarac(&nameExtras);
        m_pButtonMute[t]->setCheckable(true);
        m_pButtonMute[t]->setChecked(false);
        m_pButtonSolo[t]->setCheckable(true);
        m_pButtonSolo[t]->setChecked(false);
        m_pTrackButton[t]->setMouseTracking(true);
        m_pTrackButton[t]->SetTrackIndex(t);
        m_pVum[t]->EnableDisplayMixerLevel(false);
    }
    for (QCheckBox* box : m_pCheckBoxMs) {
        box->setCheckable(true);
        box->setChecked(false);
    }
}

void DlgMain::InitEditorLimits()
{
    QStringList forbidden = SceneForbiddenCharacters();
    QStringList nameExtras = NameExtraCharacters();

    ui->m_CtrlEditEditorScene->setMaxLength(8);
    ui->m_CtrlEditEditorScene->ForbiddenCarac(&forbidden);
    ui->m_CtrlEditEditorScene->setDisabled(true);
    ui->m_CtrlLabel_AdvSc_MultiApply->hide();
    for (int k = 1; k <= 11; ++k) {
        const QString n = QString::number(k);
        QMyLineEdit* edit = FormChild<QMyLineEdit>(this, "m_CtrlEdit_AdvSc_Field_" + n);
        edit->setDisabled(true);
        m_ltAdvEdit.append(edit);
        m_ltAdvCheckBox.append(FormChild<QCheckBox>(this, "m_CtrlCheckBox_Multi_Adv" + n));
        m_ltAdvCheckFrame.append(FormChild<QFrame>(this, "m_CtrlFrame_chkbox_" + n));
        m_ltAdvLabel.append(FormChild<QLabel>(this, "m_CtrlLabel_AdvSc_Field_" + n));
        m_ltAdvFrame.append(FormChild<QFrame>(this, "m_CtrlFrame_AdvSc_Field_" + n));
    }
    ui->m_CtrlEditEditor_TakeNumber->setMaxLength(5);
    ui->m_CtrlEditEditor_TakeNumber->ForbiddenCarac(&forbidden);
    ui->m_CtrlEditEditor_TakeNumber->setDisabled(true);
    ui->m_CtrlComboBox_TakeIndicator->setDisabled(true);
    ui->m_CtrlEditEditorNote->SetAlphaNum();
    ui->m_CtrlEditEditorNote->AllowCarac(&nameExtras);
    ui->m_CtrlEditEditorNote->setDisabled(true);
    ui->m_CtrlEditEditorNote->setMaxLength(200);
    ui->m_CtrlEditEditorUbits->setMaxLength(8);
    ui->m_CtrlEditEditorUbits->SetHexa();
    ui->m_CtrlEditEditorUbits->setDisabled(true);
    ui->m_CtrlEditEditorTape->setMaxLength(4);
    ui->m_CtrlEditEditorTape->SetAlphaNum();
    ui->m_CtrlEditEditorTape->setDisabled(true);
    ui->m_CtrlButton_ApplyTrackNames->setDisabled(true);
}

void DlgMain::ConnectSignals()
{
    ConnectEditorSignals();
    ConnectSelectionSignals();
    connect(global_pLogger, &MessageLoging::signal_message, this, &DlgMain::slot_InputLogingMessage);
    connect(ui->m_CtrlCheckBox_EnableFullBrowse, &QCheckBox::stateChanged, this,
            &DlgMain::OnCheckBox_StateChanged_EnableFullBrowse);
    ui->m_CtrlButton_ReloadTree->hide();
    connect(ui->m_CtrlButton_ReloadTree, &QPushButton::clicked, this, &DlgMain::slot_Button_ReloadTree);
    connect(ui->m_CtrlButton_ApplyChanges, &QPushButton::clicked, this, &DlgMain::slot_Button_ApplyChanges);
    connect(ui->m_CtrlButton_ShowToolbar, &QPushButton::clicked, this, &DlgMain::slot_Button_ShowToolbar);
    connect(ui->m_CtrlPushButton_ShowBrowser, &QPushButton::clicked, this, &DlgMain::slot_Button_ShowBrowser);

    for (int t = 0; t < kTracks; ++t)
        connect(this, &DlgMain::signal_SoloTrack, m_pTrackButton[t], &QTrackButton::slot_SoloTrack);

    connect(this, &DlgMain::signal_InGridTrackMapChanged, ui->m_CtrlWidget_InGrid,
            &QInGridRouting::slot_InGridTrackMapChanged);
    connect(this, &DlgMain::signal_InGridTrackPanChanged, ui->m_CtrlWidget_InGrid,
            &QInGridRouting::slot_InGridTrackPanChanged);
    connect(this, &DlgMain::signal_InGridTrackActiveChanged, ui->m_CtrlWidget_InGrid,
            &QInGridRouting::slot_InGridTrackActiveChanged);

    connect(ui->m_CtrlAction_Preferences, &QAction::triggered, this, &DlgMain::slot_Preferences);
    connect(ui->m_CtrlAction_FileProcess, &QAction::triggered, this, &DlgMain::slot_ProcessFiles);
    connect(ui->m_CtrlAction_Import, &QAction::triggered, this, &DlgMain::slot_ImportFiles);
    connect(ui->m_CtrlAction_AddProject, &QAction::triggered, this, &DlgMain::slot_AddNewProject);
    connect(ui->m_CtrlAction_AddDay, &QAction::triggered, this, &DlgMain::slot_AddNewDay);
    connect(ui->m_CtrlAction_FileBrowser, &QAction::triggered, this, &DlgMain::slot_Button_ShowBrowser);
    connect(ui->m_CtrlAction_SwitchView, &QAction::triggered, this, &DlgMain::slot_SwitchView);
    connect(ui->m_CtrlAction_DoReport, &QAction::triggered, this, &DlgMain::slot_DoReport);
    connect(ui->m_CtrlAction_SetupReport, &QAction::triggered, this, &DlgMain::slot_ReportSetup);
    connect(ui->m_CtrlButton_GoBackMain, &QPushButton::clicked, this, &DlgMain::slot_SwitchView);
    connect(ui->m_CtrlButton_CopyTrackNames, &QPushButton::clicked, this, &DlgMain::slot_CopyTrackNamesClicked);
    connect(ui->m_CtrlButton_ApplyTrackNames, &QPushButton::clicked, this, &DlgMain::slot_PasteTrackNamesClicked);
    connect(this, &DlgMain::signal_WavformMode, this, &DlgMain::slot_WavformModeChanged);
    connect(ui->m_CtrlButton_WavformMode, &QPushButton::clicked, this, &DlgMain::slot_WavformModeClicked);
    ConnectPlayerSignals();
}

void DlgMain::slot_test()
{
    if (m_pFSProxyModel)
        FilterRowsAgain();
}

void DlgMain::OnCheckBox_StateChanged_EnableFullBrowse(int state)
{
    m_pFSProxyModel->SetFullBrowse(state == Qt::Checked);
}
