#ifndef NALVO_PLAYER_WAVEFORMOVERVIEW_H
#define NALVO_PLAYER_WAVEFORMOVERVIEW_H

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class QFile;
class QStringList;

// One entry per track of a timeline column: the track, its level and
// whether it is drawn.
struct tyOndePoint
{
    int nTrack;
    unsigned char level;
    int bShown;
};

// The waveform overview of a take: per track the level bytes of its "ond"
// chunk ("ond" + track character 1..9, A..O), one byte per point, and one
// samples-per-point value for all tracks (the last chunk read sets it).
class QWaveformOverview
{
public:
    static constexpr int kTracks = 24;
    // At most this many chunk headers are walked per file.
    static constexpr int kMaxChunks = 51;

    void Clear();
    void ClearTrack(int track);

    // Walks the chunks of an open RIFF file from offset 12 and takes every
    // waveform chunk it recognises. A chunk whose size runs past the end of
    // the file ends the walk. True when at least one chunk was recognised.
    bool ReadChunk(QFile* file);

    // Loads the chunks of a take: its polyphonic file "<base>.WAV", or the
    // monophonic family "<base><sep><NN>.WAV" / "<base><sep><c>.WAV" for
    // every separator the recorder writes, less the files that are no
    // member of it by what they hold, as the take's load leaves them out
    // (JudgeTake). Files that do not open are skipped.
    bool Load(const QString& basePath, bool poly);
    // Loads the chunks of the given files (a take's own files, in any order;
    // empty entries and files that do not open are skipped).
    bool LoadFiles(const QStringList& files);

    bool WaveformPresent() const { return m_bWaveformPresent; }
    int SamplesPerPoint() const { return m_nNbSamplePerPixel; }
    qint64 CoveredSamples() const { return m_nCoveredSamples; }
    // Level bytes of the last chunk read.
    int PointCount() const { return m_nPointCount; }

    bool HasTrack(int track) const;
    int TrackPointCount(int track) const;
    // The level byte of the point holding the sample; 0 when the track has
    // no waveform or the point lies beyond its own chunk.
    int LevelAt(int track, qint64 samplePos) const;
    // The track's chunk holds a point for the sample.
    bool HasPointAt(int track, qint64 samplePos) const;

private:
    bool ReadWaveformChunk(QFile* file, qint64 offset, quint32 size, int track);

    int m_nNbSamplePerPixel = 0;
    qint64 m_nCoveredSamples = 0;
    int m_nPointCount = 0;
    QByteArray m_Levels[kTracks];
    bool m_bWaveformPresent = false;
};

// The 1-based track of a waveform chunk id ("ond1".."ondO"), 0 for others.
int WaveformChunkTrack(const char id[4]);

#endif
