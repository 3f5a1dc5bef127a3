#ifndef NALVO_PLAYER_QPLAYTIMELINE_H
#define NALVO_PLAYER_QPLAYTIMELINE_H

#include "player/playertypes.h"
#include "player/timelinetexts.h"
#include "player/waveformoverview.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QSemaphore>
#include <QString>
#include <QStringList>
#include <QWidget>

class QFile;

// The strip above the mixer that shows the shown take as a whole: time
// codes, the waveform overview of up to 24 tracks, markers and slates, the
// played part, the play cursor with its position label and a hover line.
// A press asks the owner to seek there; the release asks it to resume.
class QPlayTimeLine : public QWidget
{
    Q_OBJECT
public:
    explicit QPlayTimeLine(QWidget* parent = nullptr);
    ~QPlayTimeLine() override;

    void Initialize();
    void ResetWaveFormColor();
    void Clear();

    void SetDurationSample(int samples, bool force = false);
    void SetSampleRate(int rate);
    void SetFrameRate(int fps);
    // A negative field (a take without a frame rate) shows dashes.
    void SetTcIn(int h, int m, int s, int f);
    void SetTcOut(int h, int m, int s, int f);
    void SetTcSlateA(int h, int m, int s, int f);
    void setMarkerList(const QList<int>& markers);
    void setSlateList(const QList<int>& slates);
    void clearMarkerList();
    void clearSlateList();
    void setAutoSlate(bool autoSlate);
    void SetCurrPosInSample(int samples);
    void SetPlayingState(bool playing, int value);
    void SetTrackName(int track, const QString& name);
    void SetWaveFormDisplayMode(tPlayWavDisplayMode mode);
    void do_SoloOnde(int mask);
    void do_MuteOnde(int mask);

    // Loads the waveform chunks of the take (path without extension); true
    // when a waveform was found. The same path again only forces a redraw.
    bool LoadOndeFromAudioFile(const QString& basePath, bool poly);
    // Loads the waveform chunks of the given files: the files the take
    // object loaded, so a mono family is never mistaken for a poly file
    // of the same name lying beside it.
    bool LoadOndeFromFiles(const QStringList& files);
    bool ReadChunk(QFile* file);
    void SortAudioLevel(unsigned int samplePos, tyOndePoint* points);
    void DrawWaveForm_Scaled(QPainter* painter);
    void DrawWaveForm_Multi(QPainter* painter);
    void DrawWaveForm(QPainter* painter);

    bool ToggleDrawOndeOneOne();
    void get_SoloOnde(int* mask) const;
    int SetWaveFormColor(int track, QColor color);
    bool IsOndeAvailable(int track) const;
    int GetOndeLevel(int track, unsigned int samplePos) const;
    int GetOndeDbLevel(int track, unsigned int samplePos) const;
    bool LectureDataBin(QFile* file, unsigned char* buffer, long offset, unsigned long size);

    // Read-outs for the owner's checks and the tests.
    int DrawingWidth() const { return m_nDrawingWidth; }
    qint64 CursorX() const { return m_nCursorX; }
    qint64 HoverPosition() const { return m_nHoverPos; }
    QString PositionText() const { return m_czPosTimeCode; }
    QString ElapsedTimeText() const { return m_czElapsed; }
    QString TcInText() const { return m_czTcIn; }
    QString TcOutText() const { return m_czTcOut; }
    QString SoloLabel() const;
    int WaveformAreaTop() const { return m_nAreaTop; }
    int WaveformAreaHeight() const { return m_nAreaHeight; }
    // x of a sample in widget coordinates (markers, slates, hover line).
    qint64 SampleX(qint64 samplePos) const;
    const QWaveformOverview& Overview() const { return m_Ondes; }
    // The cached waveform image as last drawn (drawing width x area height).
    const QImage& WaveformImage() const { return m_Image; }

signals:
    void signal_UserPlayPosRequest(int samples);
    void signal_UserPlayPosRelease();

public slots:
    void slot_SetInPoint(int) {}
    void slot_SetOutPoint(int) {}

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void UpdateGeometry();
    void ForgetTimeCodes();
    void RequestRedraw();
    bool InCursorStrip(const QPoint& point) const;
    bool InWaveformArea(const QPoint& point) const;
    void RequestSeek(const QPoint& point);
    void PrepareImage();
    void FillColumn(int x, const tyOndePoint* points, int levelDivisor, bool centred);
    QColor BackgroundColor() const;
    QColor PlayedColor() const;

    QWaveformOverview m_Ondes;
    QColor m_colOnde[QWaveformOverview::kTracks];
    int m_nSoloMask = 0;
    int m_nMuteMask = 0;
    QSemaphore m_Semaphore{1};
    int m_nDurationSample = 0;
    tyTakeLength m_Length;
    int m_nCurrPos = 0;
    qint64 m_nCursorX = -1;
    qint64 m_nPosFrames = 0;
    QString m_czPosTimeCode;
    QString m_czElapsed;
    int m_nPlaying = 0;
    int m_nFrameRate = 24;
    int m_nSampleRate = 0;
    int m_nPlayingValue = 0;
    qint64 m_nHoverPos = -1;
    bool m_bOneToOne = false;
    QColor m_colHover = Qt::white;
    QColor m_colBgStopped = QColor(126, 151, 237), m_colBgPlaying = QColor("#36D88E"),
           m_colBgSolo = QColor(173, 173, 105);
    QColor m_colPlayedStopped = QColor(167, 184, 243), m_colPlayedPlaying = QColor("#78E0AB"),
           m_colPlayedSolo = QColor(197, 197, 119);
    QColor m_colNoTake = QColor(160, 160, 164);
    QColor m_colGradientTop = QColor("#FFFFFF"), m_colGradientBottom = QColor("#E0E0E0");
    QString m_czLastPath;
    // Hours, minutes, seconds and frames of a time code.
    struct tyTimeCodeFields
    {
        int h, m, s, f;
        // Stores the four values; false when they were already stored.
        bool Store(int hours, int minutes, int seconds, int frames);
        QString Text() const;
    };
    QString m_czTcIn;
    tyTimeCodeFields m_TcIn{0, 0, 0, 0};
    qint64 m_nTcInFrames = 0;
    QString m_czTcOut;
    tyTimeCodeFields m_TcOut{0, 0, 0, 0};
    QString m_czTcSlate;
    tyTimeCodeFields m_TcSlate{-1, -1, -1, -1};
    bool m_bRedraw = true;
    QImage m_Image;
    int m_nDrawingWidth = -1;
    int m_nAreaHeight = 0;
    int m_nAreaTop = 0;
    bool m_bAutoSlate = false;
    QList<int> m_Markers;
    QList<int> m_Slates;
    QString m_czTrackName[QWaveformOverview::kTracks];
    float m_fFontFactor = 1.0f;
    tPlayWavDisplayMode m_nDisplayMode = WavDisplayCenteredLinear;
    QFont m_fontSmall;
    QFont m_fontLarge;
};

#endif
