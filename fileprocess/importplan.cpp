#include "fileprocess/importplan.h"

#include "foundation/qpath.h"
#include "soundfile/soundfile.h"
#include "take/soundperform.h"

#include <QDir>

#include <memory>

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
    if (file.GetiXMLFileInfos()) {
        const QPath path(source);
        auto take = std::make_unique<QSoundPerform>();
        take->ResetVariables();
        const bool loaded = take->InitFilesZZ(path.GetPath() + path.GetRoot(), path.GetExtension());
        if (loaded && take->m_nTakeStatus == 0) {
            p.recorderFile = true;
        } else if (loaded && p.channels == 1) {
            p.member = true;
            p.track = file.GetiXMLMonoTrackNumber();
            p.totalFiles = file.GetiXMLTotalFiles();
            p.family = file.GetiXMLFamilyName();
            p.dataSize = file.GetDeclaredDataSize();
            p.timeReference = file.m_BextChunk.nTimeReferenceLow & 0xFFFF;
        }
    }
    file.Close();
    return p;
}

}  // namespace importplan
