// The listing's quick head read, the chunk walk, the record cache, the
// bext lines and the iXML parse on arbitrary bytes; then, when the walk
// accepted the file for writing, an iXML rewrite and a waveform chunk,
// which must leave the audio bytes exactly as they were and the layout
// whole.
#include "soundfile/filestatus.h"
#include "soundfile/soundfile.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

QString ScratchPath()
{
    static QTemporaryDir folder;
    return folder.path() + QStringLiteral("/fuzz_01.WAV");
}

QByteArray AudioBytes(const QString& path)
{
    QSoundFile file;
    if (!file.Open(path, 0) || !file.ReadChunks(false, true))
        return QByteArray();
    QByteArray audio(int(file.m_DataChunk.nSize), '\0');
    const int read = file.LectureDataBin(audio.data(), file.m_nDataOffset, audio.size());
    return read < 0 ? QByteArray() : audio.left(read);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = ScratchPath();
    {
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        out.write(reinterpret_cast<const char*>(data), qint64(size));
    }

    ReadTrackFileHead(path);
    QSoundFile file;
    if (!file.Open(path, 2))
        return 0;
    file.ReadChunks(false, true);
    ComputeFileStatus(file);
    file.GetBextScene();
    file.GetBextTrackName(1);
    file.GetFrameRate();
    file.GetDurationSeconds();
    file.GetFrameCount();
    if (file.GetiXMLFileInfos()) {
        file.GetiXMLMonoTrackName();
        file.GetiXMLPolyTrackOriginalIndex(1);
        file.GetiXMLOrvexTrackActive(0);
        file.GetiXMLTakeIndicator();
        file.GetiXMLAdvancedScTkFields();
        unsigned int count = 0, positions[10], frames[10], markers = 0, markerPositions[10];
        bool automatic = false;
        file.GetiXMLSyncPoint(&count, positions, frames, nullptr, true, &markers, markerPositions,
                              nullptr, &automatic);
    }
    if (!file.IsLayoutSound())
        return 0;

    // A writable layout: the rewrite may grow the chunk, never touch the
    // audio, and leaves a layout that is still whole.
    const QByteArray before = AudioBytes(path);
    file.SetiXMLNote(0, QString(int(size % 5000), QLatin1Char('n')));
    QString text = file.GenerateiXMLChunkPoly(0);
    // One iXML chunk after the rewrite: any other would keep the old text.
    if (file.AddiXMLChunk(text)
        && (!file.IsLayoutSound() || AudioBytes(path) != before
            || std::count_if(file.GetLayout().chunks.begin(), file.GetLayout().chunks.end(),
                             [](const tyRiffChunkInfo& c) { return c.czId == "iXML"; }) != 1))
        __builtin_trap();
    char levels[3] = {1, 2, 3};
    if (file.AddOndeChunk(levels, int(size % 4), 1, 4800) && (!file.IsLayoutSound() || AudioBytes(path) != before))
        __builtin_trap();
    return 0;
}
