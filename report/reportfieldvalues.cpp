#include "report/reportfieldvalues.h"

#include "foundation/spreadwork.h"

#include "foundation/mapping.h"
#include "foundation/naming.h"
#include "report/fieldrules.h"
#include "report/reportpages.h"
#include "take/bwfmetadata.h"
#include "take/soundperform.h"

#include <QThread>

#include <atomic>
#include <memory>
#include <vector>

using namespace ReportLayout;

tyTakeData::tyTakeData()
{
    for (int t = 0; t < kTracks; ++t) {
        Pans[t] = {-1, -1};
        pnTrackState[t] = 0;
        pnMixRole[t] = 0;
        pnMsKind[t] = 0;
    }
}

namespace {
bool IsActive(const QSoundPerform* take, int track)
{
    return ArmingOfText(take->m_czTrackActive[track]) == TrackActiveOn;
}

QString TimeCode(quint64 frames, short fps)
{
    return GetTimeCode(static_cast<unsigned long>(frames), fps);
}

// A slate or marker: empty for an offset of 0 (also what a missing one holds).
QString SyncPointText(const QSoundPerform* take, const unsigned int* offsets, int n)
{
    if (n < 0 || n >= QSoundPerform::kMaxSyncPoints || offsets[n] == 0)
        return QString();
    return TimeCode(take->m_nStartFrames + offsets[n], take->m_nFrameRate);
}

QString AleTracks(const QSoundPerform* take)
{
    QString text;
    for (int i = 0; i < QSoundPerform::kMaxTracks; ++i) {
        int j = i;
        if (take->m_bPolyTake) {
            j = take->m_pnChannelIndex[i];
            if (j < 0 || j >= QSoundPerform::kMaxTracks)
                continue;
        }
        if (IsActive(take, j))
            text += QStringLiteral("A%1").arg(i + 1);
    }
    return text;
}

QString AleDescription(const QSoundPerform* take)
{
    QString text;
    for (int i = 0; i < QSoundPerform::kMaxTracks; ++i) {
        const int j = take->m_pnChannelIndex[i];
        QString name = QStringLiteral(" _ ");
        if (j >= 0 && j < QSoundPerform::kMaxTracks && IsActive(take, j))
            name = take->m_czTrackName[j].isEmpty() ? QStringLiteral(" x ") : take->m_czTrackName[j];
        text += i == 0 ? QStringLiteral(" %1 ").arg(name) : QStringLiteral("/ %1 ").arg(name);
    }
    return text;
}
}  // namespace

tyTrackMarks TrackMarksOf(const QSoundPerform* take, int track, const QMapping* routing, BothMixFlags both,
                          int unreadablePan)
{
    tyTrackMarks marks;
    if (!take || track < 0 || track >= QSoundPerform::kMaxTracks)
        return marks;
    tyTrackRoleInput in;
    in.inGrid = take->m_czTrackInGrid[track];
    in.takeMixRole = take->m_pnTrackMixRole[track];
    in.msPair = take->m_pbMSPair[track / 2];
    in.routing = routing;
    marks.role = TrackRoleOf(in, both);
    if (!marks.role.bMixTrack)
        marks.pan = PanOfText(take->m_czTrackPanPot[track], unreadablePan);
    return marks;
}

int RecorderNumberOf(const QString& originator)
{
    const int at = originator.indexOf(QLatin1String("BRISEL "));
    if (at < 0)
        return -1;
    const QString rest = originator.mid(at + 7);
    int i = 0;
    while (i < rest.size() && rest.at(i) == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < rest.size() && (rest.at(i) == QLatin1Char('-') || rest.at(i) == QLatin1Char('+')))
        negative = rest.at(i++) == QLatin1Char('-');
    qint64 value = 0;
    while (i < rest.size() && rest.at(i).isDigit() && value < 100000000)
        value = value * 10 + rest.at(i++).digitValue();
    return int(negative ? -value : value);
}

ReportFieldValues::ReportFieldValues()
{
    for (int l = 0; l < kDataLines; ++l)
        for (int c = 0; c < kDataCells; ++c)
            m_DataLayout[l][c] = DefaultReportDataLayout[l][c];
}

ReportFieldValues::~ReportFieldValues() = default;

QString ReportFieldValues::getValue(int id, QSoundPerform* take)
{
    if (!take)
        return QString();
    switch (id) {
    case 2:
        return take->m_czFileTag;
    case 3:
        return IsCircledText(take->m_czCircled) ? QStringLiteral("YES") : QStringLiteral("NO");
    case 4:
        return take->m_czIxmlScene.trimmed();
    case 5:
        return (take->m_czTakeIndicator + take->m_czTakeNumber).trimmed();
    case 6:
        return take->m_czIxmlNote;
    case 7: {
        QList<int> active;
        for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
            if (IsActive(take, t))
                active.append(t);
        }
        return TrackRangesText(active);
    }
    case 8:
        return TimeCode(take->m_nStartFrames, take->m_nFrameRate);
    case 9:
        return TimeCode(take->m_nStartFrames + take->m_nDurationFrames, take->m_nFrameRate);
    case 10:
        return TimeCode(take->m_nDurationFrames, take->m_nFrameRate);
    case 11:
    case 12:
    case 13:
        return SyncPointText(take, take->m_pnSlateFrames, id - 11);
    case 14:
        // As the panel shows it: what the take's files hold, not what their
        // RIFF headers say (0, 0xFFFFFFFF or more than the file).
        return take->m_czSizeText;
    case 15:
        return take->m_bPolyTake ? QStringLiteral("Poly") : QStringLiteral("Mono");
    case 16:
        return FrequencyText(take->m_nSampleRate);
    case 17:
        return QStringLiteral("%1 b").arg(take->m_nBitsPerSample);
    case 18:
        return take->m_czFrameRateText;
    case 19:
        return take->m_czUbits;
    case 20:
        return take->m_czTape;
    case 21:
        return take->m_czCreationDate;
    case FieldAleTracks:
        return AleTracks(take);
    case FieldAleDescription:
        return AleDescription(take);
    default:
        break;
    }
    if (id >= FieldTrack1 && id <= FieldTrack24)
        return take->m_czTrackName[id - FieldTrack1];
    if (id >= 46 && id <= 52)
        return SyncPointText(take, take->m_pnSlateFrames, id - 43);
    if (id >= 53 && id <= 62)
        return SyncPointText(take, take->m_pnMarkerFrames, id - 53);
    if (id >= FieldSeason && id <= FieldEffect) {
        if (take->m_nScTkTemplate != 4 && take->m_nScTkTemplate != 5)
            return QString();
        return take->m_AdvTemplateFields.value(TemplateCodeOfField(id));
    }
    return QString();
}

void ReportFieldValues::SetValuesSetup(const QString& media, const QString& project,
                                       const tyReportBlock layout[kDataLines][kDataCells], int dataLines,
                                       bool noteLine, int reportGen)
{
    m_czMedia = media;
    m_czProject = project;
    for (int l = 0; l < kDataLines; ++l)
        for (int c = 0; c < kDataCells; ++c)
            m_DataLayout[l][c] = layout[l][c];
    m_nDataLines = NormaliseDataLayout(m_DataLayout, dataLines);
    m_bNoteLine = noteLine;
    m_nReportGen = reportGen;
}

void ReportFieldValues::SetRequestFlags(const std::atomic<bool>* abort, const std::atomic<bool>* stop)
{
    m_pAbort = abort;
    m_pStop = stop;
}

void ReportFieldValues::SetGettingDataCallback(std::function<void(int, int, int)> callback)
{
    m_GettingData = std::move(callback);
}

void ReportFieldValues::getReportData(QPainter*, QString day, QStringList fileIds, int kind,
                                      const MyFileInfoList* listing)
{
    m_CsvColumnNames.clear();
    const int count = fileIds.size();
    m_TakeData = QVector<tyTakeData>(count);
    tyTakeData* records = m_TakeData.data();
    std::vector<int> recorders(size_t(count), 0);
    std::vector<char> loaded(size_t(count), 0);
    // Takes do not depend on each other: several threads load them, each
    // with its own reader (made by that thread on its first take), and each
    // record is written only by the thread that loaded its take. Each
    // reports the takes it starts.
    const int threads = TakeLoaderThreads(count);
    std::vector<std::unique_ptr<QBwfMetadata>> readers(static_cast<size_t>(threads));
    SpreadWork(count, threads, [&](int n, int worker) {
        if (Aborted() || Stopped())
            return false;
        std::unique_ptr<QBwfMetadata>& metadata = readers[size_t(worker)];
        if (!metadata) {
            metadata = std::make_unique<QBwfMetadata>();
            if (listing)
                metadata->UseListing(m_czMedia, m_czProject, day, *listing);
        }
        if (m_GettingData)
            m_GettingData(kind, n, count);
        if (metadata->SetupInit(m_czMedia, m_czProject, day, fileIds.at(n), true, true) != 0)
            return true;
        QSoundPerform* take = metadata->SoundPerform();
        recorders[size_t(n)] = RecorderNumberOf(take->m_czOriginator);
        loaded[size_t(n)] = 1;
        FillRecord(&records[n], take, n, kind);
        return true;
    });
    // The header names the recorder of the last take that loaded.
    bool any = false;
    for (int n = 0; n < count; ++n) {
        if (loaded[size_t(n)]) {
            m_nRecorderNumber = recorders[size_t(n)];
            any = true;
        }
    }
    if (any && (m_nReportGen & ReportCsv))
        m_CsvColumnNames = CsvColumnTitles();
}

void ReportFieldValues::FillRecord(tyTakeData* record, QSoundPerform* take, int index, int kind)
{
    record->bLoaded = true;
    record->bHasiXML = take->m_SndFile[take->GetFirstTrack()].HasiXMLChunk();
    record->bCircled = IsCircledText(take->m_czCircled);
    record->czSampleRate = QStringLiteral("%1 Hz").arg(take->m_nSampleRate);
    record->czBits = QStringLiteral("%1 bits").arg(take->m_nBitsPerSample);
    record->czTape = take->m_czTape;
    record->czRefLevel = take->m_czRefLevel;
    record->czFrameRate = take->m_czFrameRateText;
    record->czBextScene = take->m_czScene;
    record->nTemplate = take->m_nScTkTemplate;
    if (take->m_nScTkTemplate == 4 || take->m_nScTkTemplate == 5) {
        record->czTemplateComposition = take->m_czAdvTemplateCompo;
        const tyAdvancedTemplate parsed = ParseAdvancedTemplate(take->m_czAdvTemplateCompo, take->m_AdvTemplateFields);
        record->lnTemplateCodes = parsed.codes;
        record->lczTemplateTexts = parsed.texts;
    }
    record->nTakeType = TakeTypeOf(take->m_czTakeIndicator + take->m_czTakeNumber);
    // The PDF draws each text on one line.
    if (m_bNoteLine)
        record->czNotes = FieldText(take->m_czIxmlNote);
    if (m_nReportGen & ReportCsv)
        FillCsv(record, take, index);
    if (m_nReportGen & ReportPdf)
        FillPdf(record, take, index);
    for (const tyAleColumn& column : AleReportData) {
        if (Aborted())
            return;
        record->lczAleValues.append(column.nId == FieldIndex ? QString::number(index + 1)
                                                             : getValue(column.nId, take));
    }
    Q_UNUSED(kind);
}

namespace {
// The text of a track cell: the name of an active track, else empty with
// the track's state noted.
QString TrackCell(tyTakeData* record, const QSoundPerform* take, int track, QString value)
{
    const tTrackActive arming = ArmingOfText(take->m_czTrackActive[track]);
    record->pnTrackState[track] = arming;
    return arming == TrackActiveOn ? value : QString();
}

// Moves the six advanced-template entries (Season .. Effect in table order)
// to just after Take.
void MoveTemplateColumns(QStringList* list, int takeAt, int seasonAt)
{
    if (takeAt < 0 || seasonAt < 0 || seasonAt + 6 > list->size())
        return;
    const QStringList moved = list->mid(seasonAt, 6);
    list->erase(list->begin() + seasonAt, list->begin() + seasonAt + 6);
    for (int i = 0; i < 6; ++i)
        list->insert(takeAt + 1 + i, moved.at(i));
}
}  // namespace

void ReportFieldValues::FillCsv(tyTakeData* record, QSoundPerform* take, int index)
{
    int takeAt = -1;
    int seasonAt = -1;
    for (int row = 1; row < kDataLookupSize; ++row) {
        if (Aborted())
            return;
        const tyReportDataField& field = ReportDataFieldTable[row];
        QString value = getValue(field.nId, take);
        if (field.nId == FieldSlateA && take->m_bAutoSlate)
            value += QStringLiteral(" (Auto)");
        if (field.nId == FieldIndex)
            value = QString::number(index + 1);
        if (field.nId >= FieldTrack1 && field.nId <= FieldTrack24)
            value = TrackCell(record, take, field.nId - FieldTrack1, value);
        if (field.nId == FieldTake)
            takeAt = record->lczCsvValues.size();
        if (field.nId == FieldSeason)
            seasonAt = record->lczCsvValues.size();
        record->lczCsvValues.append(value);
    }
    MoveTemplateColumns(&record->lczCsvValues, takeAt, seasonAt);
}

QStringList ReportFieldValues::CsvColumnTitles()
{
    QStringList titles;
    int takeAt = -1;
    int seasonAt = -1;
    for (int row = 1; row < kDataLookupSize; ++row) {
        const tyReportDataField& field = ReportDataFieldTable[row];
        if (field.nId == FieldTake)
            takeAt = titles.size();
        if (field.nId == FieldSeason)
            seasonAt = titles.size();
        titles.append(QString::fromLatin1(field.pcLongName));
    }
    MoveTemplateColumns(&titles, takeAt, seasonAt);
    return titles;
}

void ReportFieldValues::FillPdf(tyTakeData* record, QSoundPerform* take, int index)
{
    for (int l = 0; l < m_nDataLines; ++l) {
        for (int c = 0; c < kDataCells; ++c) {
            if (Aborted())
                return;
            const int id = m_DataLayout[l][c].nFieldId;
            if (id == -1)
                break;
            QString value = getValue(id, take);
            if (id == FieldIndex)
                value = QString::number(index + 1);
            if (id == FieldSlateA) {
                bool automatic = false;
                take->GetSlatePointList(&automatic);
                record->bAutoSlate = automatic;
            }
            if (id >= FieldTrack1 && id <= FieldTrack24) {
                const int t = id - FieldTrack1;
                value = TrackCell(record, take, t, value);
                if (!value.isEmpty()) {
                    QMapping routing;
                    const bool parsed = routing.fromString(take->m_czTrackInGrid[t]) == 0;
                    const tyTrackMarks marks =
                        TrackMarksOf(take, t, parsed ? &routing : nullptr, BothMixFlags::Right, -1);
                    record->pnMixRole[t] = marks.role.nMix;
                    record->pnMsKind[t] = marks.role.nMs;
                    record->Pans[t] = {marks.pan.left, marks.pan.right};
                }
            }
            record->czCellTexts[l][c] = FieldText(value);
        }
    }
}

QString ReportFieldValues::getHeaderValue(int id, bool* userText, tyTakeData* record, int kind, QString day,
                                          int pageCount, int pageIndex) const
{
    const tyReportHeaderField* field = HeaderFieldOf(id);
    if (field && field->nUserText) {
        if (userText)
            *userText = true;
        return QString();
    }
    switch (id) {
    case 8:
        for (const char* suffix : {".OVX", ".OVD", ".OVN", ".OVR"}) {
            if (day.endsWith(QLatin1String(suffix), Qt::CaseSensitive))
                return day.left(day.size() - 4);
        }
        return day;
    case 9:
        return record ? record->czFrameRate : QString();
    case 10:
        return record ? record->czSampleRate + QLatin1Char('-') + record->czBits : QString();
    case 11:
        return m_czProject + QLatin1Char('/') + day;
    case 12:
        return pageCount == -1 ? QStringLiteral(" #%1").arg(pageIndex + 1)
                               : QStringLiteral(" #%1/%2").arg(pageIndex + 1).arg(pageCount);
    case 13:
        return m_nRecorderNumber == -1 ? QStringLiteral("---") : QStringLiteral(" %1").arg(m_nRecorderNumber);
    case 14:
        switch (kind) {
        case 1: return QStringLiteral("Monophonic");
        case 2: return QStringLiteral("Stereo Mixdown");
        case 4: return QStringLiteral("Polyphonic");
        case 8: return QStringLiteral("Polyphonic Rotate");
        default: return QString();
        }
    case 18:
        return record ? record->czRefLevel : QString();
    case 20:
        return record ? record->czTape : QString();
    case 21:
        return m_czProject;
    default:
        return QString();
    }
}
