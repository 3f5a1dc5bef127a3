#include "report/qmetadatathread.h"

#include "foundation/fileinfolist.h"
#include "foundation/spreadwork.h"
#include "report/fieldrules.h"
#include "report/reportfieldvalues.h"
#include "take/bwfmetadata.h"
#include "take/daylisting.h"
#include "take/soundperform.h"
#include "take/takefamily.h"

#include "foundation/messageloging.h"
#include "foundation/takenaming.h"
#include "soundfile/filestatus.h"
#include "soundfile/headwindows.h"
#include "soundfile/keptheads.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

using namespace ReportLayout;

QString TakeNameOfFile(const QString& fileName)
{
    static const QRegularExpression expressions[] = {
        QRegularExpression(QStringLiteral("(_|-|#|\\+)\\d{1,2}$"), QRegularExpression::CaseInsensitiveOption),
        QRegularExpression(QStringLiteral("(Q|M)X$"), QRegularExpression::CaseInsensitiveOption),
        QRegularExpression(QStringLiteral("P(N|R|X)$"), QRegularExpression::CaseInsensitiveOption),
    };
    QString name = fileName;
    if (name.endsWith(QLatin1String(".WAV"), Qt::CaseInsensitive))
        name.chop(4);
    for (const QRegularExpression& expression : expressions) {
        const QRegularExpressionMatch match = expression.match(name);
        if (match.hasMatch())
            return name.left(match.capturedStart());
    }
    // Track numbers the recorder also writes ("_A", "+07"): the take root
    // the family probe finds.
    const QString root = TakePathOfFile(name + QStringLiteral(".WAV"), QStringLiteral("WAV"));
    if (root.size() < name.size())
        return root;
    return name;
}

QVector<tyDayTake> DayTakesOf(const QString& folder, const QStringList& fileNames)
{
    QVector<tyDayEntry> read;
    read.reserve(fileNames.size());
    for (const QString& fileName : fileNames) {
        read.append(tyDayEntry());
        read.last().czName = fileName;
    }
    const tyDayListing listing = ListDay(folder, std::move(read), TakeLoaderThreads(fileNames.size()));

    QVector<tyDayTake> takes;
    QString previousId;
    QSet<QString> listed;
    for (const tyDayEntry& entry : listing.entries) {
        if (entry.nJudged < 0)
            continue;
        const QString& fileName = entry.czName;
        const tyListedFile& file = listing.judged.at(entry.nJudged);
        const QStringView base = QStringView(fileName).chopped(4);
        // A track file is judged by the browser's rule whatever its name:
        // another maker's file named like a track of this recorder's take
        // stands alone, and the take keeps its own files.
        const bool mono = file.eKind == TakeNaming::FileKind::Mono;
        if (!(mono && file.bAlone) && TakeNaming::IsRecorderTakeName(base)) {
            const QStringView id = base.left(6);
            if (id == previousId)
                continue;
            bool ours = mono;
            if (!mono) {
                const tyTrackFileHead head = ReadTrackFileHead(folder + fileName);
                ours = head.bRecorder || head.eKind == tyTrackFileHead::Unread;
            }
            if (ours) {
                previousId = id.toString();
                takes.append(tyDayTake{previousId, TakeNameOfFile(fileName),
                                       TakePathOfFile(folder + fileName, QStringLiteral("WAV"))});
                continue;
            }
        }
        if (file.eKind == TakeNaming::FileKind::None || listed.contains(file.czTake))
            continue;
        listed.insert(file.czTake);
        takes.append(tyDayTake{file.czTake, file.czTake, folder + file.czTake});
    }
    return takes;
}

QMetadataThread::QMetadataThread(QObject* parent)
    : QThread(parent)
{
    RegisterTakeMetadataType();
    // Queued to the loader object, which lives on the owner's thread: one
    // posted call per delivery keeps each in its place among the states.
    connect(this, &QMetadataThread::signal_Delivery, this, &QMetadataThread::DeliverOne, Qt::QueuedConnection);
}

QMetadataThread::~QMetadataThread()
{
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_bAbort = true;
        m_bStop = true;
    }
    m_JobCondition.notify_one();
    wait();
    std::lock_guard<std::mutex> joined(m_Mutex);
}

void QMetadataThread::SetDataSetup(tyReportBlock* blocks, int lines, int cellsPerLine, int dataLines, bool,
                                   tReportCircleDisplay)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (blocks && lines >= 1 && cellsPerLine >= 1) {
        for (int l = 0; l < qMin(lines, int(kDataLines)); ++l) {
            for (int c = 0; c < kDataCells; ++c)
                m_DataLayout[l][c] = c < cellsPerLine ? blocks[l * cellsPerLine + c] : tyReportBlock{};
        }
    }
    m_nDataLines = NormaliseDataLayout(m_DataLayout, dataLines);
    // A pass that runs read the former layout: run it again with this one.
    if (m_bBusy) {
        m_bJobPending = true;
        m_bStop = true;
        m_JobCondition.notify_one();
    }
}

void QMetadataThread::SetDayDir(QString preProject, QString project, QString day)
{
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_czPreProject = preProject;
        m_czProject = project;
        m_czDay = day;
        m_bJobPending = true;
        m_bStop = true;
    }
    m_JobCondition.notify_one();
    if (!m_bStarted) {
        m_bStarted = true;
        start(QThread::InheritPriority);
    }
}

void QMetadataThread::GetDir(QString* preProject, QString* project, QString* day) const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (preProject)
        *preProject = m_czPreProject;
    if (project)
        *project = m_czProject;
    if (day)
        *day = m_czDay;
}

void QMetadataThread::slot_reload()
{
    QString preProject, project, day;
    GetDir(&preProject, &project, &day);
    SetDayDir(preProject, project, day);
}

bool QMetadataThread::Interrupted() const
{
    return m_bStop.load(std::memory_order_acquire) || m_bAbort.load(std::memory_order_acquire);
}

void QMetadataThread::run()
{
    // QThread::wait() joins without a primitive the thread checker knows;
    // the worker's last act on this object is to pass through the lock,
    // and the destructor takes the lock after wait(), which orders the two.
    struct tyLastLock
    {
        std::mutex& mutex;
        ~tyLastLock() { std::lock_guard<std::mutex> lock(mutex); }
    } lastLock{m_Mutex};
    for (;;) {
        tyJob job;
        {
            std::unique_lock<std::mutex> lock(m_Mutex);
            m_bBusy = false;
            emit signal_State(MetadataStateWaiting, 0);
            m_JobCondition.wait(lock, [this] { return m_bAbort || m_bJobPending; });
            m_bBusy = true;
            if (!m_bAbort) {
                // The newest job: later hand-overs overwrote earlier ones.
                m_bJobPending = false;
                m_bStop = false;
                job.czPreProject = m_czPreProject;
                job.czProject = m_czProject;
                job.czDay = m_czDay;
                for (int l = 0; l < kDataLines; ++l)
                    for (int c = 0; c < kDataCells; ++c)
                        job.Layout[l][c] = m_DataLayout[l][c];
                job.nDataLines = m_nDataLines;
            }
        }
        MyQDebug("QMetadataThread::GOOOOOOOOOOOOOOOOOOOO %s", m_bStop ? "true" : "false");
        emit signal_State(MetadataStateWoken, 0);
        if (m_bAbort) {
            MyQDebug("QMetadataThread::ABOOORRRRTION");
            return;
        }
        RunPass(job);
        FinishPass();
        if (m_bAbort)
            return;
    }
}

void QMetadataThread::FinishPass()
{
    emit signal_State(MetadataStateFinished, (m_bStop ? 1 : 0) | (m_bAbort ? 2 : 0));
}

void QMetadataThread::RunPass(const tyJob& job)
{
    if (job.czPreProject.isEmpty() || job.czProject.isEmpty() || job.czDay.isEmpty())
        return;
    const QString path = QStringLiteral("%1/%2/%3/").arg(job.czPreProject, job.czProject, job.czDay);
    MyQDebug("czPath %s m_czPreProject %s m_czProject %s m_czDay %s", qPrintable(path),
             qPrintable(job.czPreProject), qPrintable(job.czProject), qPrintable(job.czDay));
    emit signal_State(MetadataStateListing, 0);
    MyFileInfoList listing;
    listing.LoadEntryInfoList(path, QStringList{QStringLiteral(".WAV")}, false, &m_bStop);
    QStringList files;
    files.reserve(listing.count());
    for (int i = 0; i < listing.count(); ++i)
        files.append(listing.GetFileName(i));
    const QVector<tyDayTake> takes = DayTakesOf(path, files);
    const quint64 heads = KeptTrackFileHeadsChanged();
    QStringList names;
    names.reserve(takes.size());
    for (const tyDayTake& take : takes)
        names.append(take.czName);
    tyDelivery list;
    list.bList = true;
    list.lczNames = std::move(names);
    Send(std::move(list));
    if (Interrupted() || takes.isEmpty())
        return;

    emit signal_State(MetadataStateListReady, takes.size());
    // Takes do not depend on each other: several threads load them, each
    // with its own reader on the listing above, and each record is built
    // and sent only by the thread that loaded its take. The records may
    // therefore arrive out of order; each carries its index and take name.
    // A reader is made by its thread on its first take.
    const int threads = TakeLoaderThreads(takes.size());
    std::vector<std::unique_ptr<QBwfMetadata>> readers(static_cast<size_t>(threads));
    SpreadWork(takes.size(), threads, [&](int index, int worker) {
        if (Interrupted())
            return false;
        std::unique_ptr<QBwfMetadata>& metadata = readers[size_t(worker)];
        if (!metadata) {
            metadata = std::make_unique<QBwfMetadata>();
            metadata->UseListing(job.czPreProject, job.czProject, job.czDay, listing);
        }
        emit signal_State(MetadataStateReadingTake, index);
        tyDelivery delivery;
        delivery.nIndex = index;
        // No box per take: a day of another recorder's files would stack
        // one over the list for each. The row says why in one line.
        const tyDayTake& take = takes.at(index);
        delivery.czId = take.czId;
        const int loaded = metadata->SetupTake(take.czTakePath, true, false);
        if (loaded == QBwfMetadata::SetupLoaded)
            FillRecord(&delivery.Record, metadata->SoundPerform(), index, job);
        else
            delivery.Record.czProblem = metadata->SoundPerform()->ProblemLine(
                loaded != QBwfMetadata::SetupLoadFailed, path, take.czName);
        if (!delivery.Record.czProblem.isEmpty())
            MyQDebug("Day list: %s", qPrintable(delivery.Record.czProblem));
        delivery.Record.czTakeName = take.czName;
        Send(std::move(delivery));
        return true;
    });
    // A load found a file listed with a take, of its members' length, to be
    // none of it: the day is listed again, that file alone, as the browser
    // lists it now. A pass lists again only when the loads kept new heads.
    if (!Interrupted() && KeptTrackFileHeadsChanged() != heads) {
        const QVector<tyDayTake> again = DayTakesOf(path, files);
        const auto sameTake = [](const tyDayTake& a, const tyDayTake& b) { return a.czTakePath == b.czTakePath; };
        if (!std::equal(takes.begin(), takes.end(), again.begin(), again.end(), sameTake))
            RunPass(job);
    }
}

void QMetadataThread::Send(tyDelivery delivery)
{
    {
        std::lock_guard<std::mutex> lock(m_OutboxMutex);
        m_Outbox.push_back(std::move(delivery));
    }
    emit signal_Delivery(QPrivateSignal());
}

void QMetadataThread::DeliverOne()
{
    tyDelivery delivery;
    {
        std::lock_guard<std::mutex> lock(m_OutboxMutex);
        if (m_Outbox.empty())
            return;
        delivery = std::move(m_Outbox.front());
        m_Outbox.pop_front();
    }
    if (delivery.bList)
        emit signal_List(delivery.lczNames);
    else
        emit signal_Data(delivery.nIndex, delivery.czId, delivery.Record);
}

void QMetadataThread::FillRecord(tyTakeMetadata* record, QSoundPerform* take, int takeIndex, const tyJob& job)
{
    record->bCircled = IsCircledText(take->m_czCircled);
    record->ClearTrackFields();
    record->bLongName = false;
    record->bFullUnderscore = false;
    record->czScene = take->m_czScene;
    record->nFileKind = take->m_nScTkTemplate;
    record->lnTakeNameCodes.clear();
    if (record->nFileKind == 4 || record->nFileKind == 5)
        record->lnTakeNameCodes = ParseAdvancedTemplate(take->m_czAdvTemplateCompo, take->m_AdvTemplateFields).codes;
    record->nTakeType = TakeTypeOf(take->m_czTakeIndicator + take->m_czTakeNumber);
    record->bLongName = take->IsLongName();
    record->bFullUnderscore = record->bLongName && take->IsFullUnderscore();

    QStringList* lines[kDataLines] = {&record->lczLine0Texts, &record->lczLine1Texts};
    for (int l = 0; l < job.nDataLines && l < kDataLines; ++l) {
        lines[l]->clear();
        for (int c = 0; c < kDataCells; ++c) {
            if (Interrupted())
                return;
            const int id = job.Layout[l][c].nFieldId;
            if (id == -1)
                break;   // the layout is packed
            QString text = ReportFieldValues::getValue(id, take);
            if (id == FieldIndex)
                text = QString::number(takeIndex + 1);
            if (id >= FieldTrack1 && id <= FieldTrack24)
                TrackWork(record, take, id - FieldTrack1, &text);
            lines[l]->append(text);
        }
    }
}

namespace {
// Reads the settings of every input of one kind the routing names, once each.
void ReadInputs(const QHash<int, int>& inputs, tInputSettings* table, int size, const char* format,
                const QSoundFile& file)
{
    for (auto it = inputs.constBegin(); it != inputs.constEnd(); ++it) {
        const int input = it.key();
        if (input < 0 || input >= size || table[input].bPresent)
            continue;
        file.GetiXMLOrvexInputSettings(QString::asprintf(format, input + 1), &table[input]);
    }
}
}  // namespace

void QMetadataThread::TrackWork(tyTakeMetadata* record, QSoundPerform* take, int k, QString* text)
{
    const tTrackActive arming = ArmingOfText(take->m_czTrackActive[k]);
    record->tArming[k] = arming;
    if (arming != TrackActiveOn)
        text->clear();
    QMapping routing;
    const bool parsed = routing.fromString(take->m_czTrackInGrid[k]) == QMapping::NoError;
    if (parsed && arming == TrackActiveOn) {
        record->Routings[k] = routing;
        bool present = false;
        for (int t = 0; t < QSoundPerform::kMaxTracks; ++t)
            present = present || take->m_pbPresent[t];
        if (present) {
            const QSoundFile& first = take->m_SndFile[take->GetFirstTrack()];
            ReadInputs(routing.mic(), record->MicInputs, tyTakeMetadata::kMicInputs, "MIC_%d", first);
            ReadInputs(routing.line(), record->LineInputs, tyTakeMetadata::kLineInputs, "LINE_%d", first);
            ReadInputs(routing.digi(), record->DigitalInputs, tyTakeMetadata::kDigitalInputs, "DIGI_%d", first);
            // AES42 settings sit in the track's own file; a poly take has one
            // file for every track.
            const QSoundFile& own = take->m_pbPresent[k] ? take->m_SndFile[k] : first;
            ReadInputs(routing.aes42(), record->Aes42Inputs, tyTakeMetadata::kAes42Inputs, "AES42_%d", own);
        }
    }
    const tyTrackMarks marks = TrackMarksOf(take, k, parsed ? &routing : nullptr, BothMixFlags::Mix, 0);
    record->pnMixMarker[k] = marks.role.nMix;
    record->pnMsMarker[k] = marks.role.nMs;
    record->tPans[k] = marks.pan;
}
