#include "report/takerowrules.h"

#include "report/fieldrules.h"

using namespace ReportLayout;

const char* const kMissingNeighbourText = "<<<<<<<<<<<<<";

namespace {
const tInputSettings* SettingsOf(const tyTakeMetadata& record, const QMapping& routing)
{
    struct tKind
    {
        QHash<int, int> inputs;
        const tInputSettings* table;
        int size;
    };
    const tKind kinds[] = {
        {routing.mic(), record.MicInputs, tyTakeMetadata::kMicInputs},
        {routing.line(), record.LineInputs, tyTakeMetadata::kLineInputs},
        {routing.digi(), record.DigitalInputs, tyTakeMetadata::kDigitalInputs},
        {routing.aes42(), record.Aes42Inputs, tyTakeMetadata::kAes42Inputs},
    };
    for (const tKind& kind : kinds) {
        if (kind.inputs.isEmpty())
            continue;
        const int input = kind.inputs.constBegin().key();
        return input >= 0 && input < kind.size ? &kind.table[input] : nullptr;
    }
    return nullptr;
}
}  // namespace

QStringList BadgePartsOf(const tyTakeMetadata& record, int track)
{
    QStringList parts{QString(), QString(), QString(), QString(), QString()};
    if (track < 0 || track >= tyTakeMetadata::kTracks)
        return parts;
    const QMapping& routing = record.Routings[track];
    if (routing.count() == 1) {
        const tInputSettings* settings = SettingsOf(record, routing);
        if (settings && settings->bPresent) {
            if (settings->bPhaseReversed)
                parts[0] = QString(QChar(0x03A6));
            if (settings->nFilter > 0)
                parts[1] = QStringLiteral("f%1").arg(settings->nFilter);
            if (settings->bEqEnabled)
                parts[2] = QStringLiteral("Eq");
            if (settings->nDelay > 0)
                parts[3] = QStringLiteral("D");
        }
    } else if (routing.count() > 1) {
        parts[2] = QStringLiteral("+");
    }
    parts[4] = TrackMarkerText(record.pnMixMarker[track], record.pnMsMarker[track]);
    return parts;
}

QString BadgeTextOf(const tyTakeMetadata& record, int track)
{
    return BadgePartsOf(record, track).join(QLatin1Char(';'));
}

bool IsColumnApplicable(const tyTakeMetadata& record, int kind)
{
    return IsTemplateFieldApplicable(kind, record.nFileKind, record.lnTakeNameCodes);
}

bool SameCellAs(const tyTakeMetadata& self, const QString& text, const tyTakeMetadata* neighbour,
                const QString& neighbourText, int kind)
{
    if (!neighbour || text.isEmpty() || neighbourText != text || neighbour->czScene != self.czScene)
        return false;
    if (kind >= FieldTrack1 && kind <= FieldTrack24) {
        const int t = kind - FieldTrack1;
        return neighbour->tArming[t] == self.tArming[t] && !(neighbour->Routings[t] != self.Routings[t])
               && neighbour->tPans[t] == self.tPans[t];
    }
    return IsColumnApplicable(self, kind);
}

QString CellTextFor(const QString& text, const QFontMetrics& metrics, int cellWidth)
{
    constexpr int kMargin = 2;
    const int room = cellWidth - 2 * kMargin;
    if (room <= 0)
        return QString();
    if (metrics.horizontalAdvance(text) <= room)
        return text;
    const QString elided = metrics.elidedText(text, Qt::ElideRight, room);
    // elidedText gives "…" alone even where it does not fit.
    return metrics.horizontalAdvance(elided) <= room ? elided : QString();
}
