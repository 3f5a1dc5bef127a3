#include "fileprocess/importplan.h"

#include "soundfile/filestatus.h"
#include "soundfile/ixmlnames.h"
#include "soundfile/soundfile.h"
#include "take/soundperform.h"
#include "take/takefamily.h"

#include <QDir>
#include <QFileInfo>

namespace importplan {

QString TakeId(int id)
{
    return QString::asprintf("7T%04d", id);
}

bool IdInUse(const QString& dayFolder, int id)
{
    const QString prefix = TakeId(id);
    const QStringList hits = QDir(dayFolder).entryList({prefix + QStringLiteral("_*"), prefix + QStringLiteral(".*")},
                                                        QDir::Files | QDir::Hidden | QDir::System);
    return !hits.isEmpty();
}

tProbe ProbeSource(const QString& source)
{
    tProbe p;
    p.family = source;
    QSoundFile file;
    if (!file.Open(source, 0) || !file.ReadChunks(false, true)) {
        p.rf64 = file.GetLayout().bRf64;
        return p;
    }
    p.readable = true;
    p.channels = file.m_FmtChunk.nChannels;
    const bool xml = file.GetiXMLFileInfos();
    // A file of the recorder itself is told by its own marks; the take it
    // belongs to is not loaded here, so a set the loader refuses (another
    // recorder's members differ in length) says nothing while it is planned.
    if (ComputeFileStatus(file) == 0) {
        p.recorderFile = true;
    } else if (p.channels == 1 && xml) {
        // Another recorder's set: the members share the audio length, the
        // format, the time reference and the family id; their files may
        // differ in length (each iXML names its own track). The family id
        // is FAMILY_UID, else FAMILY_NAME, else the take root of the name.
        const QFileInfo info(source);
        const QString extension = info.suffix();
        const QString takePath = TakePathOfFile(info.absoluteFilePath(), extension);
        int nameTrack = -1;
        tyTakeFamily named;
        if (takePath != info.absoluteFilePath() && FindTakeFamilyOnDisk(takePath, extension, &named)) {
            for (int t = 0; t < QSoundPerform::kMaxTracks && nameTrack < 0; ++t) {
                if (QFileInfo(named.czPath[t]).fileName() == info.fileName())
                    nameTrack = t;
            }
        }
        const int ownTrack = file.GetiXMLMonoTrackNumber();
        p.track = ownTrack >= 0 && ownTrack < QSoundPerform::kMaxTracks ? ownTrack : nameTrack;
        QString family = file.GetText({IxmlNames::kFileSet, QStringLiteral("FAMILY_UID")}).trimmed();
        if (family.isEmpty())
            family = file.GetiXMLFamilyName().trimmed();
        if (family.isEmpty() && nameTrack >= 0)
            family = takePath;
        if (p.track >= 0 && !family.isEmpty()) {
            p.member = true;
            p.family = family;
            p.totalFiles = file.GetiXMLTotalFiles();
            p.dataSize = file.GetDeclaredDataSize();
            p.sampleRate = file.m_FmtChunk.nSampleRate;
            p.bits = file.m_FmtChunk.nBitsPerSample;
            p.timeReference = file.GetBextTimeReference();
            p.frames = SourceSoundOf(file).nFrames;
        }
    }
    file.Close();
    return p;
}

}  // namespace importplan
