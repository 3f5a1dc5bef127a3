// The take loader's reader of the player sidecar (".idh").
#include "take/soundperform.h"

#include "foundation/fileutil.h"
#include "foundation/settingsstore.h"
#include "foundation/keywordfile.h"
#include "take/gaintable.h"

#include <QFileInfo>

namespace {

// Fields 0..count-1 of a keyword's value line as integers (atoi-like: a
// text that is not a number gives 0). Missing fields keep their value.
void ReadIntegers(QFileRead& file, const char* keyword, int count, int* values)
{
    if (!file.FindKeyword(QLatin1String(keyword)))
        return;
    for (int i = 0; i < count; ++i) {
        QString field;
        if (file.Extract(i, &field))
            values[i] = field.trimmed().toInt();
    }
}

void ReadTexts(QFileRead& file, const char* keyword, int count, QStringList* texts)
{
    texts->clear();
    if (!file.FindKeyword(QLatin1String(keyword)))
        return;
    for (int i = 0; i < count; ++i) {
        QString field;
        texts->append(file.Extract(i, &field) ? field : QString());
    }
}

} // namespace

QString QSoundPerform::SidecarPath() const
{
    if (m_czBaseName.isEmpty())
        return QString();
    return m_czTakeFolder + m_czBaseName.left(6) + QLatin1String(".idh");
}

bool QSoundPerform::LoadPlayerSettings(QString path)
{
    // A write-protected card: the mirror folder's copy, when the mix was
    // changed since the card was locked and not stored on the card since.
    path = SettingsStore::ReadTake(path).czPath;
    if (path.isEmpty() || !QFileInfo::exists(path))
        return false;
    QFileRead file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;

    int volume[kMaxTracks];
    int pan[kMaxTracks];
    int mute[kMaxTracks];
    int swap[kMaxPairs];
    for (int t = 0; t < kMaxTracks; ++t) {
        volume[t] = m_pnTrackVolume[t];
        pan[t] = m_pnTrackPan[t];
        mute[t] = m_pbTrackMute[t];
    }
    // A missing "#PLAYER_SWAP_MS" means M/S decoding on.
    for (int p = 0; p < kMaxPairs; ++p)
        swap[p] = 1;
    ReadIntegers(file, "#PLAYER_TRACK_VOL", kMaxTracks, volume);
    ReadIntegers(file, "#PLAYER_TRACK_PAN", kMaxTracks, pan);
    ReadIntegers(file, "#PLAYER_TRACK_MUTE", kMaxTracks, mute);
    ReadIntegers(file, "#PLAYER_SWAP_MS", kMaxPairs, swap);
    // The tables index the gain table and the buses: clamp before anyone reads them.
    std::unique_lock<std::mutex> lock(m_MixerLock);
    for (int t = 0; t < kMaxTracks; ++t) {
        m_pnTrackVolume[t] = short(qBound(0, volume[t], kGainStepCount - 1));
        m_pnTrackPan[t] = short(qBound(0, pan[t], 2));
        m_pbTrackMute[t] = mute[t] != 0;
    }
    for (int p = 0; p < kMaxPairs; ++p)
        m_pbSwapMS[p] = swap[p] != 0;
    lock.unlock();

    QStringList names;
    ReadTexts(file, "#VIRT_TRACKNAMES", kMaxTracks, &names);
    m_bVirtTrackNames = !names.isEmpty();
    for (int t = 0; t < kMaxTracks; ++t)
        m_czVirtTrackNames[t] = names.value(t);
    ReadTexts(file, "#VIRT_METADATA", 5, &m_lczVirtMetadata);
    m_bVirtMetadata = !m_lczVirtMetadata.isEmpty();
    file.close();
    return true;
}
