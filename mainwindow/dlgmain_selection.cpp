// DlgMain: the selection dispatcher: a browser selection becomes one opened
// take, several takes to edit at once, or a day for the day list.
#include "mainwindow/dlgmain.h"

#include "ui_dlgmain.h"

#include "browser/fsitemtype.h"
#include "browser/qbriselfsfilterproxymodel.h"
#include "browser/qbriselfsmodel.h"
#include "browser/qbriselfsmodelitem.h"
#include "player/qplaytimeline.h"
#include "soundfile/keptheads.h"
#include "take/daylisting.h"
#include "take/takefamily.h"
#include "widgets/messagebox.h"

#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QScopedValueRollback>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <utility>

bool selectedTakeLessThan(const tyTakePathDescription& a, const tyTakePathDescription& b)
{
    return a.czFileTag < b.czFileTag;
}

namespace {
constexpr int kSelectionDebounceMs = 300;

bool IsTakeKind(int kind) { return kind >= 3 && kind <= FSITEM_POLY; }
}  // namespace

void DlgMain::ConnectSelectionSignals()
{
    QTreeView* tree = ui->m_CtrlTreeView;
    connect(tree->selectionModel(), &QItemSelectionModel::selectionChanged, this, &DlgMain::OnDirBrowseSelChanged);
    connect(m_pTimerSelection, &QTimer::timeout, this, &DlgMain::slot_TimerSelectionChanged);
    connect(tree, &QTreeView::expanded, this, &DlgMain::slot_treeExpanded);
    connect(tree, &QTreeView::collapsed, this, &DlgMain::slot_treeCollapsed);
    connect(&m_CopyComparison, &CopyComparison::signal_Found, this, &DlgMain::ShowComparedCopies);
}

void DlgMain::OnDirBrowseSelChanged(const QItemSelection&, const QItemSelection&)
{
    m_pTimerSelection->start(kSelectionDebounceMs);
}

void DlgMain::slot_treeExpanded(const QModelIndex& index)
{
    if (QBriselFSModelItem* item = m_pFSModel->itemFromIndex(m_pFSProxyModel->mapToSource(index)))
        m_pFSModel->addWatcher(item);
}

void DlgMain::slot_treeCollapsed(const QModelIndex& index)
{
    if (QBriselFSModelItem* item = m_pFSModel->itemFromIndex(m_pFSProxyModel->mapToSource(index)))
        m_pFSModel->removeWatcher(item);
}

bool DlgMain::SelectionIsCurrent(const QModelIndexList& rows) const
{
    QStringList selected;
    for (const QModelIndex& row : rows)
        if (IsTakeKind(row.data(FSItemTypeRole).toInt()))
            selected << row.data(FSFilePathRole).toString();
    QStringList current;
    for (const tyTakePathDescription& take : m_ltLastSelectionPathDescription)
        current << take.czFilePath;
    selected.sort();
    current.sort();
    return selected == current && selected.size() == rows.size();
}

void DlgMain::slot_TimerSelectionChanged()
{
    // Emptying the strip and showing the new take would set a frame's
    // colour up to three times, and each sheet set re-polishes the frame's
    // whole strip: the frames are coloured once the take is shown (an
    // Apply's reselection within this one waits for the outer one).
    // The meters and the number of strip frames shown likewise: emptied and
    // set again for a take of the same routing, the meters and the routing
    // grid are painted only where they look different, and the frames are
    // shown or hidden once.
    const bool held = m_bHoldFrameSheets;
    m_bHoldFrameSheets = true;
    if (!held) {
        HoldMeterRepaints(true);
        ui->m_CtrlWidget_InGrid->HoldRepaint(true);
    }
    DispatchSelection();
    m_bHoldFrameSheets = held;
    if (!held) {
        SettleTrackControls();
        HoldMeterRepaints(false);
        ui->m_CtrlWidget_InGrid->HoldRepaint(false);
        if (m_nHeldStripFrames >= 0)
            SetStripFramesShown(std::exchange(m_nHeldStripFrames, -1));
        updateVumeterFrame(-1);
    }
}

void DlgMain::DispatchSelection()
{
    // A modal box of a running dispatch or apply spins an event loop in which
    // this timer can fire: the newer selection waits for the running one.
    if (m_bDispatching || m_bApplying) {
        m_pTimerSelection->start(kSelectionDebounceMs);
        return;
    }
    const QScopedValueRollback<bool> busy(m_bDispatching, true);
    // The takes whose save failed are selected again: the editor keeps the
    // values typed for them.
    if (m_bHoldFailedEdits && m_bEditMetadata
        && SelectionIsCurrent(ui->m_CtrlTreeView->selectionModel()->selectedRows(0)))
        return;
    m_bHoldFailedEdits = false;

    if (m_SndPerform.m_pSfxPlayer)
        m_SndPerform.m_pSfxPlayer->StopAll();
    if (!ApplyMetadataChanges(false)) {
        if (ReportUnsavedTakes(true)) {
            HoldFailedEdits();
            return;
        }
        m_bEditMetadata = false;
        ui->m_CtrlButton_ApplyChanges->hide();
    }
    // Read after the apply: its box ran an event loop, in which the browser
    // may have listed the day anew.
    const QModelIndexList rows = ui->m_CtrlTreeView->selectionModel()->selectedRows(0);
    const int n = rows.size();

    // The shown take is left: its copies' comparison too.
    m_CopyComparison.Stop();
    ResetEditorAll();
    DisableEditorAll();
    ResetPlayerAll();
    DisablePlayerAll();
    m_ltLastSelectionPathDescription.clear();
    m_bMultiHasAdvancedTemplate = false;
    m_bMultiCanChangeScene = true;
    if (n >= 2)
        m_lnAdvFieldCode.clear();

    for (const QModelIndex& row : rows) {
        const int kind = row.data(FSItemTypeRole).toInt();
        if (IsTakeKind(kind)) {
            tyTakePathDescription take;
            take.czMediaPath = row.data(FSPreProjectRole).toString();
            take.czProject = row.data(FSProjectRole).toString();
            take.czDay = row.data(FSDayRole).toString();
            take.czFileTag = row.data(Qt::DisplayRole).toString();
            take.czTakePath = row.data(FSTakePathRole).toString();
            take.czFilePath = row.data(FSFilePathRole).toString();
            if (n == 1) {
                if (DispatchFileInfos(take.czTakePath, QStringLiteral("WAV"))) {
                    EnableEditorModeSingle();
                    // Strip, timeline, the take's settings file and its player.
                    OpenTakeInPlayer();
                }
            } else {
                ProbeTemplate(row, take);
            }
            m_ltLastSelectionPathDescription.append(take);
            m_czTakeExtension = QStringLiteral("WAV");
        } else if (kind == FSITEM_PROJECT) {
            m_bMultiCanChangeScene = false;
        } else if (kind == FSITEM_DAY) {
            if (m_pMetadataThread && ui->m_CtrlStackedWidget_Metadata->currentIndex() == 1)
                m_pMetadataThread->SetDayDir(row.data(FSPreProjectRole).toString(),
                                             row.data(FSProjectRole).toString(), row.data(FSDayRole).toString());
            m_bMultiCanChangeScene = false;
            if (n == 1)
                ShowTakeProblem(UnlistedFilesLine(row.data(FSFilePathRole).toString()));
        }
    }
    if (n >= 2)
        EnableEditorModeMulti();
    std::sort(m_ltLastSelectionPathDescription.begin(), m_ltLastSelectionPathDescription.end(),
              selectedTakeLessThan);
}

void DlgMain::ProbeTemplate(const QModelIndex& row, const tyTakePathDescription& take)
{
    bool ok = false;
    int number = row.data(FSTemplateRole).toInt(&ok);
    QString composition;
    bool probe = true;
    if (ok && number != -1) {
        composition = row.data(FSAdvTemplateRole).toString();
        probe = (number == 4 || number == 5) && composition.isEmpty();
    } else {
        number = -1;
    }
    if (probe) {
        auto temporary = std::make_unique<QSoundPerform>();
        // Without a box: a take that does not load has no template to offer.
        if (temporary->QuickInitFiles(take.czTakePath, QStringLiteral("WAV"), nullptr, false)
            && temporary->m_nTakeStatus == 0) {
            number = temporary->m_nScTkTemplate;
            composition = temporary->m_czAdvTemplateCompo;
        }
        temporary->CloseFiles();
    }
    if (number == -1)
        return;
    const QModelIndex source = m_pFSModel->index(take.czFilePath, take.czFileTag);
    if (QBriselFSModelItem* item = source.isValid() ? m_pFSModel->itemFromIndex(source) : nullptr)
        item->SetTemplateInfo(number, composition);
    if (number != 4 && number != 5)
        return;
    m_bMultiHasAdvancedTemplate = true;
    // The fields are laid out after the first advanced take of the
    // selection: the take last shown alone may have none.
    if (m_lnAdvFieldCode.isEmpty()) {
        for (const QString& part : composition.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            bool parsed = false;
            const int code = part.trimmed().toInt(&parsed);
            if (parsed)
                m_lnAdvFieldCode << code;
        }
    }
}

bool DlgMain::DispatchFileInfos(QString takePath, QString extension)
{
    CloseTakeInPlayer();
    m_SndPerform.ResetVariables();
    m_nScTkTemplate = -1;
    m_lnAdvFieldCode.clear();
    m_lczAdvFieldText.clear();
    QString folder;
    QString take;
    SplitTakePath(takePath, extension, &folder, &take);
    // Loaded without a box of its own: arrowing through a day of takes
    // that cannot be opened must not raise one per key. The take line says
    // why instead.
    bool loaded = false;
    {
        // A namesake's sound is compared once the take is shown.
        const CopiesComparedApart apart;
        loaded = m_SndPerform.QuickInitFiles(takePath, extension, nullptr, true);
    }
    ListStrangersAlone(folder, take);
    if (!loaded) {
        if (!m_SndPerform.RenamedTakePath().isEmpty()) {
            FollowRenamedTake(take, m_SndPerform.RenamedTakePath(), m_SndPerform.RenameTakenBack());
            return false;
        }
        ShowTakeProblem(m_SndPerform.ProblemLine(false, folder, take));
        return false;
    }
    bool result = true;
    const int status = m_SndPerform.m_nTakeStatus;
    SetInfosEditor();
    DisplayEditTracksContains();
    // A take with a member missing opens: the line says so.
    ShowTakeProblem(m_SndPerform.ProblemLine(true, folder, m_SndPerform.m_czBaseName), status == 0);
    if (status == 0) {
        m_CopyComparison.Start(m_SndPerform.UncomparedNamesakes());
    } else {
        result = false;
        // A take of this recorder that is damaged is worth a box, once: a
        // foreign one is only another maker's file, said in the line.
        const QString key = QDir::cleanPath(takePath);
        if (status >= 5 && !m_SndPerform.HoldsLeftSave() && !m_lczToldDamagedTakes.contains(key)) {
            m_lczToldDamagedTakes.insert(key);
            // The box's event loop lets the user reach the strip.
            SettleTrackControls();
            const QString text =
                status == 8 ? QStringLiteral("This file is a Brisel file not correctly closed!\nYou can try to fix "
                                             "the problem using Tools/Check File.\nPlease note: there will be no "
                                             "iXML chunk inside.")
                            : QStringLiteral("This is not a Brisel file !\nYou can't play, edit and bounce this "
                                             "file.\nYou can try to import it using Project/Import non-Brisel file "
                                             "function.");
            ShowMessageBox(nullptr, QMessageBox::Critical, QStringLiteral("Wrong File #%1").arg(status), text);
        }
    }
    // A take that opens in the player gets its timeline there; a damaged
    // one is still shown whole, waveform included, but not for editing.
    if (!result) {
        DisableEditorAll();
        ShowTakeTimeline();
    }
    return result;
}

void DlgMain::ShowComparedCopies()
{
    bool told = false;
    for (const CopyComparison::tyFinding& found : m_CopyComparison.TakeFindings())
        told = m_SndPerform.TellNamesakeCompared(found.czName, found.czMember, found.bCopy) || told;
    if (told)
        ShowTakeProblem(m_SndPerform.ProblemLine(true, m_SndPerform.m_czTakeFolder, m_SndPerform.m_czBaseName), true);
}

void DlgMain::FollowRenamedTake(const QString& oldName, const QString& renamedPath, bool takenBack)
{
    const QString folder = renamedPath.left(renamedPath.lastIndexOf(QLatin1Char('/')));
    const QString name = renamedPath.mid(folder.size() + 1);
    // Said until the take is shown under its new name, and for good if the
    // browser does not list it there.
    ShowTakeProblem(takenBack ? QStringLiteral("The rename of %2 to %1 was undone: the take stands under its old name %2.")
                                    .arg(oldName, name)
                              : QStringLiteral("%1 is now %2: an interrupted rename of its files was finished.")
                                    .arg(oldName, name));
    // The day is read again, so the take's row stands under its new name;
    // the selection moves there and is shown once this dispatch is done.
    m_pFSModel->refreshItems(folder);
    const QItemSelection rows = TakeRows({renamedPath});
    if (!rows.isEmpty())
        SelectRows(rows);
}

void DlgMain::ShowTakeProblem(const QString& text, bool editable)
{
    QLabel* name = ui->m_CtrlLabelFilename;
    if (!m_pLabelTakeProblem) {
        if (text.isEmpty())
            return;
        m_pLabelTakeProblem = new QLabel(name->parentWidget());
        m_pLabelTakeProblem->setObjectName(QStringLiteral("m_CtrlLabel_TakeProblem"));
        m_pLabelTakeProblem->setFont(name->font());
        m_pLabelTakeProblem->setStyleSheet(
            QStringLiteral("color:#ffb0a0; background-color:%1;")
                .arg(name->parentWidget()->palette().color(QPalette::Window).name()));
        m_pLabelTakeProblem->setTextFormat(Qt::PlainText);
    }
    const bool problem = !text.isEmpty();
    // The line runs from the take name across the box, over the file-name
    // choice and the routing grid's heading, which a take not opened for
    // editing has no use for; one opened for editing keeps them.
    QLabel* choice = ui->label_33;
    const int right = editable ? choice->x() - 8 : name->parentWidget()->width() - 4;
    m_pLabelTakeProblem->setGeometry(name->x(), name->y(), qMax(name->width(), right - name->x()), name->height());
    m_pLabelTakeProblem->setText(
        m_pLabelTakeProblem->fontMetrics().elidedText(text, Qt::ElideRight, m_pLabelTakeProblem->width()));
    m_pLabelTakeProblem->setToolTip(text);
    m_pLabelTakeProblem->setVisible(problem);
    m_pLabelTakeProblem->raise();
    name->setVisible(!problem);
    for (QWidget* covered : {static_cast<QWidget*>(choice), static_cast<QWidget*>(ui->m_CtrlComboBox_Filename)})
        covered->setVisible(!problem || editable);
}

namespace {
// The day's line for its WAV files that no row lists: count of its own
// files (names of no take), inFolders in the folders it holds.
QString UnlistedWavLine(int count, int inFolders)
{
    if (inFolders > 0 && count == 0)
        return inFolders == 1 ? QStringLiteral("1 WAV file in a folder inside this day is not listed: Import "
                                               "(Ctrl+I) reads it.")
                              : QStringLiteral("%1 WAV files in folders inside this day are not listed: Import "
                                               "(Ctrl+I) reads them.").arg(inFolders);
    if (inFolders > 0)
        return QStringLiteral("%1 WAV files of this day are not listed, %2 of them in folders inside it and the "
                              "others' names not being this recorder's takes: Import (Ctrl+I) reads them.")
            .arg(count + inFolders).arg(inFolders);
    if (count == 0)
        return QString();
    return count == 1 ? QStringLiteral("1 WAV file of this day is not listed, its name not being one of this "
                                       "recorder's takes: Import (Ctrl+I) reads it.")
                      : QStringLiteral("%1 WAV files of this day are not listed, their names not being this "
                                       "recorder's takes: Import (Ctrl+I) reads them.").arg(count);
}
}  // namespace

QString DlgMain::UnlistedFilesLine(const QString& dayPath)
{
    const QModelIndex day = m_pFSModel->index(dayPath);
    QBriselFSModelItem* item = day.isValid() ? m_pFSModel->itemFromIndex(day) : nullptr;
    if (!item || item->type() != FSITEM_DAY)
        return QString();
    if (!item->m_bPopulated)
        m_pFSModel->fetchMore(day);
    else
        m_pFSModel->catchUpUnwatched(item);
    const QString notRegular = NotRegularLine(item->notRegularWavEntries());
    const QString wav = UnlistedWavLine(item->unlistedWavFiles(), item->wavFilesInFolders());
    return wav.isEmpty() || notRegular.isEmpty() ? wav + notRegular : wav + QLatin1Char(' ') + notRegular;
}

void DlgMain::ListStrangersAlone(const QString& dayPath, const QString& family)
{
    if (KeptTrackFileHeadsChanged() == 0)
        return;
    // Once the selection being handled is done: the rows filtered again
    // leave no index of it standing.
    QTimer::singleShot(0, this, [this, day = QDir::cleanPath(dayPath), family] {
        m_pFSModel->rejudgeByKeptHeads(day, family);
    });
}

QStringList DlgMain::SelectedTakePaths() const
{
    QStringList paths;
    for (const QModelIndex& row : ui->m_CtrlTreeView->selectionModel()->selectedRows()) {
        if (IsTakeKind(row.data(FSItemTypeRole).toInt()))
            paths << QDir::cleanPath(row.data(FSTakePathRole).toString());
    }
    paths.sort();
    return paths;
}

void DlgMain::FilterRowsAgain()
{
    // A selection the user changed waits for its dispatch (the timer runs),
    // and one being handled or applied is that run's.
    const bool chosen = m_pTimerSelection->isActive() || m_bDispatching || m_bApplying;
    m_pFSProxyModel->invalidate();
    if (chosen || m_ltLastSelectionPathDescription.isEmpty())
        return;
    QStringList shown;
    for (const tyTakePathDescription& take : qAsConst(m_ltLastSelectionPathDescription))
        shown << QDir::cleanPath(take.czTakePath);
    shown.sort();
    if (SelectedTakePaths() == shown)
        return;
    const QItemSelection rows = TakeRows(shown);
    if (rows.isEmpty())
        return;
    // Rows of another kind selected beside the takes (a day) stay selected.
    QItemSelection selection;
    for (const QModelIndex& row : ui->m_CtrlTreeView->selectionModel()->selectedRows()) {
        if (!IsTakeKind(row.data(FSItemTypeRole).toInt()))
            selection.select(row, row);
    }
    selection.merge(rows, QItemSelectionModel::Select);
    SelectRows(selection);
    // The same takes on their rows: nothing to load again.
    if (SettleTakeFiles(rows) == m_ltLastSelectionPathDescription.size())
        m_pTimerSelection->stop();
}

int DlgMain::SettleTakeFiles(const QItemSelection& rows)
{
    int found = 0;
    for (tyTakePathDescription& take : m_ltLastSelectionPathDescription) {
        for (const QModelIndex& row : rows.indexes()) {
            if (row.column() == 0 && row.data(FSTakePathRole).toString() == QDir::cleanPath(take.czTakePath)) {
                take.czFilePath = row.data(FSFilePathRole).toString();
                ++found;
                break;
            }
        }
    }
    return found;
}

void DlgMain::HoldFailedEdits()
{
    m_bHoldFailedEdits = true;
    QStringList takePaths;
    for (const tyTakePathDescription& take : qAsConst(m_ltLastSelectionPathDescription))
        takePaths << QDir::cleanPath(take.czTakePath);
    QItemSelection rows = TakeRows(takePaths);
    if (SettleTakeFiles(rows) < takePaths.size()) {
        // A take saved under a new name is listed there once its day is
        // read again.
        QStringList days;
        for (const QString& path : qAsConst(takePaths)) {
            const QString day = path.left(path.lastIndexOf(QLatin1Char('/')));
            if (!days.contains(day))
                days << day;
        }
        for (const QString& day : qAsConst(days))
            m_pFSModel->refreshItems(day);
        rows = TakeRows(takePaths);
        SettleTakeFiles(rows);
    }
    SelectRows(rows);
}

void DlgMain::SelectTakePaths(const QStringList& takePaths) { SelectRows(TakeRows(takePaths)); }

QItemSelection DlgMain::TakeRows(const QStringList& takePaths) const
{
    QStringList wanted;
    QStringList days;
    for (const QString& path : takePaths) {
        wanted << QDir::cleanPath(path);
        const QString day = wanted.last().left(wanted.last().lastIndexOf(QLatin1Char('/')));
        if (!days.contains(day))
            days << day;
    }
    QItemSelection selection;
    for (const QString& day : days) {
        const QModelIndex source = m_pFSModel->index(day, QString());
        const QModelIndex parent = source.isValid() ? m_pFSProxyModel->mapFromSource(source) : QModelIndex();
        if (!parent.isValid())
            continue;
        for (int row = 0; row < m_pFSProxyModel->rowCount(parent); ++row) {
            const QModelIndex view = m_pFSProxyModel->index(row, 0, parent);
            if (wanted.contains(view.data(FSTakePathRole).toString()))
                selection.select(view, view);
        }
    }
    return selection;
}

void DlgMain::SelectRows(const QItemSelection& selection)
{
    QItemSelectionModel* model = ui->m_CtrlTreeView->selectionModel();
    model->clearSelection();
    model->select(selection, QItemSelectionModel::Select | QItemSelectionModel::Current | QItemSelectionModel::Rows);
    // The current row goes with the selection, so that Up and Down go on
    // from the selected take: the row that stood for a renamed take is gone
    // (the tree would move on from nowhere, to its top row), and the row a
    // user clicked before a failed save is not the take selected again.
    const QModelIndex current = model->currentIndex();
    if (!selection.isEmpty() && !(current.isValid() && selection.contains(current)))
        model->setCurrentIndex(selection.first().topLeft(), QItemSelectionModel::NoUpdate);
}
