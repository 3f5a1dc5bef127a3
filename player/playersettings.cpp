#include "player/playersettings.h"

#include "foundation/fileutil.h"
#include "foundation/keywordfile.h"
#include "foundation/settingsstore.h"
#include "take/gaintable.h"
#include "widgets/messagebox.h"

#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

constexpr int kTracks = 24;
constexpr int kPairs = 12;
const QString kLabelKey = QStringLiteral("#LABEL");

// Pan levels of the routing codes 0, 1, 2.
const short kLeftOfCode[3] = {100, 100, 0};
const short kRightOfCode[3] = {0, 100, 100};

// atoi of the field's 8-bit text, without its overflow: a text that is not
// a number gives 0.
int AtoiField(const QString& field)
{
    const long value = std::strtol(field.toLocal8Bit().constData(), nullptr, 10);
    return int(std::clamp<long>(value, INT_MIN, INT_MAX));
}

// Reads count fields of a key through parse; a missing key or field keeps
// the default and sets the mask bit.
// file null: the file does not exist.
template <typename T, typename Parse>
void ReadKey(QFileRead* file, const char* keyword, int count, T* out, T fallback, int bit, int* mask, Parse parse)
{
    const bool found = file && file->FindKeyword(QLatin1String(keyword));
    for (int i = 0; i < count; ++i) {
        QString field;
        if (found && file->Extract(i, &field)) {
            if (out)
                out[i] = parse(field);
        } else {
            if (out)
                out[i] = fallback;
            *mask |= bit;
        }
    }
}

short ClampedShort(const QString& field, int low, int high)
{
    return short(std::clamp(AtoiField(field), low, high));
}

QString NumbersLine(const short* values, int count)
{
    QString line;
    for (int i = 0; i < count; ++i)
        line += QString::number(values[i]) + QLatin1Char('|');
    return line;
}

QString FlagsLine(const bool* values, int count)
{
    QString line;
    for (int i = 0; i < count; ++i)
        line += QLatin1String(values[i] ? "1|" : "0|");
    return line;
}

} // namespace

QString SettingsWritePath(const QString& file, const QString& errorTitle, const QString& errorText)
{
    // The titles whose box was shown since the folder was last made: a
    // failure that lasts is told once, not at every take change.
    static QSet<QString> told;
    const SettingsStore::tyCopy target = SettingsStore::WriteTarget(file);
    if (target.czPath.isEmpty()) {
        if (!told.contains(errorTitle)) {
            told.insert(errorTitle);
            ShowMessageBox(nullptr, QMessageBox::Critical, errorTitle, errorText);
        }
    } else if (target.bMirror) {
        told.clear();
    }
    return target.czPath;
}

bool SaveSettingsLocal(QString file, short* volume, short* panLeft, short* panRight, bool* mute, bool, bool,
                       bool* swapMS, short* rotate, int minTrack, int compact, const QString* label)
{
    file = SettingsWritePath(file, QStringLiteral("Save mix settings"),
                             QStringLiteral("Unable to create local folder\nto save mix settings !"));
    if (file.isEmpty() || !volume || !panLeft || !panRight || !mute || !swapMS)
        return false;
    short codes[kTracks];
    for (int t = 0; t < kTracks; ++t)
        codes[t] = short(panLeft[t] != 100 ? 2 : panRight[t] == 100 ? 1 : 0);
    // One write for all the keys: a card that fails gives one message, and
    // the file keeps either every new value or none.
    QList<QPair<QString, QString>> lines{{QStringLiteral("#PLAYER_TRACK_VOL"), NumbersLine(volume, kTracks)},
                                         {QStringLiteral("#PLAYER_TRACK_PAN"), NumbersLine(codes, kTracks)},
                                         {QStringLiteral("#PLAYER_TRACK_MUTE"), FlagsLine(mute, kTracks)},
                                         {QStringLiteral("#PLAYER_SWAP_MS"), FlagsLine(swapMS, kPairs)}};
    if (rotate)
        lines.append({QStringLiteral("#BACKUP_ROTATE"), NumbersLine(rotate, kTracks)});
    if (minTrack != -1)
        lines.append({QStringLiteral("#MIN_TRACK"), QString::number(minTrack)});
    if (compact != -1)
        lines.append({QStringLiteral("#COMPACT"), QString::number(compact)});
    if (label)
        lines.append({kLabelKey, *label});
    // A failure is told by the writer; the file is then as it was.
    return SetLines(file, lines);
}

int LoadSettingsLocal(QString file, short* volume, bool* mute, short* pan, bool* swapMS, int* rotate,
                      int* minTrack, bool* compact)
{
    int mask = 0;
    QFileRead opened(file);
    QFileRead* reader = nullptr;
    if (!file.isEmpty() && QFileInfo::exists(file)) {
        if (!opened.open(QIODevice::ReadOnly))
            return 0;
        reader = &opened;
    }
    // A missing file reads as one without any key: every default, mask 127.
    // Values are clamped: they index the gain table, the buses and the tracks.
    ReadKey<short>(reader, "#PLAYER_TRACK_VOL", kTracks, volume, kDefaultGainStep, 1, &mask,
                   [](const QString& f) { return ClampedShort(f, 0, kGainStepCount - 1); });
    ReadKey<bool>(reader, "#PLAYER_TRACK_MUTE", kTracks, mute, false, 2, &mask,
                  [](const QString& f) { return AtoiField(f) != 0; });
    ReadKey<short>(reader, "#PLAYER_TRACK_PAN", kTracks, pan, 1, 4, &mask,
                   [](const QString& f) { return ClampedShort(f, 0, 2); });
    ReadKey<bool>(reader, "#PLAYER_SWAP_MS", kPairs, swapMS, false, 8, &mask, [](const QString& f) {
        bool ok = false;
        const int value = f.toInt(&ok, 10);
        return ok && value != 0;
    });
    ReadKey<int>(reader, "#BACKUP_ROTATE", kTracks, rotate, -1, 16, &mask,
                 [](const QString& f) { return std::clamp(AtoiField(f), -1, kTracks - 1); });
    ReadKey<int>(reader, "#MIN_TRACK", 1, minTrack, 0, 32, &mask,
                 [](const QString& f) { return std::clamp(AtoiField(f), 0, kTracks); });
    ReadKey<bool>(reader, "#COMPACT", 1, compact, false, 64, &mask,
                  [](const QString& f) { return AtoiField(f) != 0; });
    return mask;
}

int LoadSettingsLocal(QString file, short* volume, bool* mute, short* panLeft, short* panRight, bool* swapMS,
                      int* rotate, int* minTrack, bool* compact)
{
    short codes[kTracks];
    // A file that does not open leaves the codes alone: both sides then.
    std::fill(codes, codes + kTracks, short(1));
    int mask = LoadSettingsLocal(file, volume, mute, codes, swapMS, rotate, minTrack, compact);
    if (!panLeft || !panRight)
        return mask | 4;
    short left = 0;
    short right = 0;
    for (int t = 0; t < kTracks; ++t) {
        // The reader clamps the codes; a code outside 0..2 keeps the previous track's levels.
        if (codes[t] >= 0 && codes[t] <= 2) {
            left = kLeftOfCode[codes[t]];
            right = kRightOfCode[codes[t]];
        }
        panLeft[t] = left;
        panRight[t] = right;
    }
    return mask;
}

bool SaveSettingsLabel(QString file, QString label)
{
    const QString preset = SettingsStore::ReadPreset(file).czPath;
    if (!SettingsStore::HoldsMix(preset))
        return false;
    if (LoadSettingsLabel(preset) == label)
        return true;
    file = SettingsWritePath(file, QStringLiteral("Save preset name"),
                             QStringLiteral("Unable to create local folder\nto save preset settings !"));
    return !file.isEmpty() && SetLine(file, kLabelKey, label, RefusalTold::Once, preset);
}

QString LoadSettingsLabel(QString file)
{
    QString label;
    if (file.isEmpty() || !QFileInfo::exists(file))
        return label;
    QFileRead reader(file);
    if (reader.open(QIODevice::ReadOnly) && reader.FindKeyword(kLabelKey))
        reader.Extract(0, &label);
    return label;
}
