// The take's metadata setters and the iXML texts a save writes (the save
// itself: savetransaction.cpp).
#include "take/soundperform.h"

#include "soundfile/ixmlnames.h"

void QSoundPerform::SetiXMLTrackName(unsigned short track, QString name)
{
    if (track >= kMaxTracks)
        return;
    m_czTrackName[track] = name;
    if (m_bPolyTake) {
        if (m_pbPresent[0])
            m_SndFile[0].SetiXMLPolyTrackName(track, name);
    } else if (m_pbPresent[track]) {
        m_SndFile[track].SetiXMLMonoTrackName(track, name);
    }
}

void QSoundPerform::SetiXMLOrvexTracknames(QString* names, bool skipEmpty)
{
    if (m_bPolyTake || !names)
        return;
    for (int t = 0; t < kMaxTracks; ++t) {
        if (m_pbPresent[t])
            m_SndFile[t].SetiXMLOrvexTracknames(names, skipEmpty);
    }
}

bool QSoundPerform::OrvexTracknamesHeld(const QString* names, bool skipEmpty) const
{
    if (m_bPolyTake || !names)
        return true;
    // The first present file is the twin the others adopted their documents from.
    const QSoundFile* twin = nullptr;
    for (int t = 0; t < kMaxTracks; ++t) {
        if (!m_pbPresent[t])
            continue;
        if (!m_SndFile[t].OrvexTracknamesHeld(names, skipEmpty, twin != nullptr))
            return false;
        if (!twin)
            twin = &m_SndFile[t];
    }
    return true;
}

QStringList QSoundPerform::GetiXMLAdvancedScTkFieldsList() const
{
    for (int t = 0; t < kMaxTracks; ++t) {
        if (m_pbPresent[t])
            return m_SndFile[t].GetiXMLAdvancedScTkFieldTexts();
    }
    return QStringList();
}


void QSoundPerform::BuildSaveTexts(QByteArray* texts)
{
    // The documents of a mono family differ in their own track entry only,
    // as the recorder writes them and the editor changes them: the first is
    // serialised, the others are spliced from its text. Any other difference
    // (or a text that would need escaping) serialises that member itself.
    // A member adopted at the load and not built since is made from its
    // twin's document without building its own.
    int model = -1;
    tyAdoptedSaveModels adopted;
    for (int t = 0; t < kMaxTracks; ++t) {
        if (!m_pbPresent[t])
            continue;
        QSoundFile& file = m_SndFile[t];
        if (!m_bPolyTake && file.AdoptedSaveText(&adopted, &texts[t]))
            continue;
        file.EnsureDocument(t);
        if (!m_bPolyTake && model >= 0
            && m_SndFile[model].SpliceText(texts[model], file, {IxmlNames::kTrackList, IxmlNames::kTrack}, &texts[t]))
            continue;
        texts[t] = file.ToText();
        if (model < 0)
            model = t;
    }
}
