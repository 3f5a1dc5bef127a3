#include "report/fieldrules.h"

#include "foundation/mapping.h"

#include <cmath>

const char* const TakeTypeLabels[7] = {
    "Take (t)", "Pickup (p)", "Wild (w)", "Announce (a)", "Not good (n)", "Rehearsal (r)", "sound Guide (g)",
};

int TakeTypeOf(const QString& indicatorAndNumber)
{
    if (indicatorAndNumber.isEmpty())
        return 0;
    static const QString letters = QStringLiteral("tpwanrg");
    const int type = letters.indexOf(indicatorAndNumber.at(0).toLower());
    return type < 0 ? 0 : type;
}

bool IsCircledText(const QString& circled)
{
    return circled.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0
           || circled.compare(QLatin1String("1"), Qt::CaseInsensitive) == 0
           || circled.compare(QLatin1String("YES"), Qt::CaseInsensitive) == 0;
}

tTrackActive ArmingOfText(const QString& active)
{
    if (active.compare(QLatin1String("YES"), Qt::CaseInsensitive) == 0)
        return TrackActiveOn;
    if (active.compare(QLatin1String("DISARMED"), Qt::CaseInsensitive) == 0
        || active.compare(QLatin1String("DESACTIVED"), Qt::CaseInsensitive) == 0)
        return TrackActiveDisarmed;
    return TrackActiveNone;
}

QString TrackRangesText(const QList<int>& activeTracks)
{
    if (activeTracks.isEmpty())
        return QString();
    QString text = QString::number(activeTracks.first() + 1);
    bool open = false;
    int previous = activeTracks.first();
    for (int i = 1; i < activeTracks.size(); ++i) {
        const int current = activeTracks.at(i);
        if (current == previous + 1) {
            if (!open) {
                text += QLatin1Char('-');
                open = true;
            }
            if (i == activeTracks.size() - 1)
                text += QString::number(current + 1);
        } else if (open) {
            text += QStringLiteral("%1;%2").arg(previous + 1).arg(current + 1);
            open = false;
        } else {
            text += QStringLiteral(";%1").arg(current + 1);
        }
        previous = current;
    }
    return text;
}

QString FrequencyText(int sampleRate)
{
    if (sampleRate % 1000 == 0)
        return QStringLiteral("%1K").arg(sampleRate / 1000);
    return QString::number(sampleRate);
}

tyAdvancedTemplate ParseAdvancedTemplate(const QString& composition, const QHash<int, QString>& table)
{
    tyAdvancedTemplate result;
    if (composition.isEmpty() || table.isEmpty())
        return result;
    const QStringList parts = composition.split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (parts.size() != table.size())
        return result;
    int separators = 0;
    for (const QString& part : parts) {
        bool number = false;
        const int code = part.trimmed().toInt(&number);
        if (!number)
            continue;
        const int key = code == 0 ? -(separators++) : code;
        const auto found = table.constFind(key);
        if (found == table.constEnd())
            return tyAdvancedTemplate();
        result.codes.append(code);
        result.texts.append(found.value());
    }
    return result;
}

int TemplateCodeOfField(int fieldId)
{
    // Season, Episode, Sequence, Slate, Unit, Effect.
    static const int codes[6] = {3, 4, 1, 2, 6, 5};
    return fieldId >= 63 && fieldId <= 68 ? codes[fieldId - 63] : 0;
}

tPostFadePan PanOfText(const QString& panPot, int unreadable)
{
    tPostFadePan pan{-1, -1};
    const QStringList parts = panPot.split(QLatin1Char(','), Qt::KeepEmptyParts);
    if (parts.size() != 2)
        return pan;
    bool leftRead = false;
    const int left = parts.at(0).trimmed().toInt(&leftRead);
    pan.left = leftRead ? left : unreadable;
    if (leftRead) {
        bool rightRead = false;
        const int right = parts.at(1).trimmed().toInt(&rightRead);
        pan.right = rightRead ? right : unreadable;
    }
    return pan;
}

tyTrackRole TrackRoleOf(const tyTrackRoleInput& in, BothMixFlags both)
{
    tyTrackRole role;
    const QMapping* routing = in.routing;
    role.bMixTrack = in.inGrid.contains(QLatin1String("mix"), Qt::CaseInsensitive)
                     || in.inGrid.contains(QLatin1String("mxd"), Qt::CaseInsensitive) || in.takeMixRole != 0
                     || (routing && routing->hasMix() != 0);
    if (role.bMixTrack) {
        role.nMix = in.takeMixRole;
        const bool left = routing && routing->hasMixLeft();
        const bool right = routing && routing->hasMixRight();
        if (left && right)
            role.nMix = both == BothMixFlags::Right ? 3 : 1;
        else if (right)
            role.nMix = 3;
        else if (left)
            role.nMix = 2;
        return role;
    }
    bool mid = false;
    bool side = false;
    if (routing)
        routing->hasMs(&mid, &side);
    if (in.msPair || mid || side)
        role.nMs = side ? 3 : (mid ? 2 : 1);
    return role;
}

tyPanBar PanBarLengths(int left, int right, float length)
{
    tyPanBar bar;
    if (left == 100 || right == 100 || (left == 0 && right == 0)) {
        if (right < left) {
            bar.red = length * 100.0f / float(right + 100);
            bar.green = length - bar.red;
        } else if (left < right) {
            bar.green = length * 100.0f / float(left + 100);
            bar.red = length - bar.green;
        } else if (left == 100) {
            bar.red = bar.green = length / 2.0f;
        }
        return bar;
    }
    bar.red = float(left) * length / 100.0f;
    bar.green = length - bar.red;
    return bar;
}

QString TrackMarkerText(int mixRole, int msKind)
{
    switch (mixRole) {
    case 1: return QStringLiteral("mx");
    case 2: return QStringLiteral("xL");
    case 3: return QStringLiteral("xR");
    default: break;
    }
    switch (msKind) {
    case 0: return QString();
    case 2: return QStringLiteral("m");
    case 3: return QStringLiteral("s");
    default: return QStringLiteral("ms");
    }
}

bool IsTemplateFieldApplicable(int fieldId, int templateNumber, const QList<int>& codes)
{
    const int code = TemplateCodeOfField(fieldId);
    if (code == 0 || (templateNumber != 4 && templateNumber != 5))
        return true;
    return codes.contains(code);
}

namespace {
int SumOf(const QVector<int>& widths)
{
    int sum = 0;
    for (int w : widths)
        sum += w;
    return sum;
}

// Cuts the widest columns to one common width, the largest that lets the
// line fit, never below a column's minimum.
void CapWidest(QVector<int>* widths, const QVector<int>& minimums, int available)
{
    auto capped = [&](int level) {
        int sum = 0;
        for (int c = 0; c < widths->size(); ++c)
            sum += qMax(minimums.at(c), qMin(widths->at(c), level));
        return sum;
    };
    int low = 0;
    int high = 0;
    for (int w : *widths)
        high = qMax(high, w);
    while (low < high) {
        const int level = low + (high - low + 1) / 2;
        if (capped(level) <= available)
            low = level;
        else
            high = level - 1;
    }
    for (int c = 0; c < widths->size(); ++c)
        (*widths)[c] = qMax(minimums.at(c), qMin(widths->at(c), low));
}
}  // namespace

QVector<int> FitColumns(const tyColumnFitInput& in)
{
    QVector<int> widths = in.widths;
    const int k = widths.size();
    if (k == 0)
        return widths;
    QVector<int> minimums(k, 1);
    for (int c = 0; c < k && c < in.minimums.size(); ++c)
        minimums[c] = qMax(1, in.minimums.at(c));
    int growCount = 0;
    int shrinkCount = 0;
    int sum = 0;
    for (int c = 0; c < k; ++c) {
        growCount += in.grows.value(c) ? 1 : 0;
        shrinkCount += in.shrinks.value(c) ? 1 : 0;
        sum += widths.at(c);
    }
    growCount = qMax(1, growCount);
    shrinkCount = qMax(1, shrinkCount);
    int spare = in.available + 2 - (k + sum);
    if (spare < 0 && in.notesColumn >= 0 && in.notesColumn < k) {
        const int notes = qMax(spare + in.widestNotes, 12 * in.averageChar);
        spare = in.available + 2 - k - (notes + sum - in.widestNotes);
        widths[in.notesColumn] = qMax(minimums.at(in.notesColumn), notes);
    }
    const bool growing = spare >= 0;
    const int delta = int(std::floor(double(spare) / (growing ? growCount : shrinkCount) + 0.5));
    for (int c = 0; c < k; ++c) {
        if (growing ? in.grows.value(c) : in.shrinks.value(c))
            widths[c] = qMax(minimums.at(c), widths.at(c) + delta);
    }
    const int leftover = in.available - SumOf(widths);
    if (in.restOnLastColumn && leftover < 0)
        widths[k - 1] = qMax(minimums.at(k - 1), widths.at(k - 1) + leftover);
    if (!in.withinAvailable || SumOf(widths) <= in.available)
        return widths;
    const int least = SumOf(minimums);
    if (least > in.available) {
        for (int c = 0; c < k; ++c)
            widths[c] = qMax(1, int(qint64(minimums.at(c)) * qMax(0, in.available) / least));
        return widths;
    }
    CapWidest(&widths, minimums, in.available);
    return widths;
}
