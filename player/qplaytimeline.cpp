#include "player/qplaytimeline.h"

#include "foundation/fonts.h"
#include "foundation/messageloging.h"
#include "player/fontfit.h"
#include "player/metertables.h"
#include "widgets/sharedfonts.h"

#include <QEvent>
#include <QFile>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <climits>
#include <algorithm>
#include <cmath>

namespace {

const QColor kWaveCycle[4] = {QColor(255, 255, 0), QColor(246, 215, 0), QColor(255, 127, 0),
                              QColor(204, 85, 0)};

bool TrackInMask(int mask, int track)
{
    return (unsigned(mask) >> track) & 1u;
}

// Releases the overview semaphore when leaving a scope.
class SemaphoreToken
{
public:
    explicit SemaphoreToken(QSemaphore& semaphore)
        : m_Semaphore(semaphore)
    {
        m_Semaphore.acquire();
    }
    ~SemaphoreToken() { m_Semaphore.release(); }

private:
    QSemaphore& m_Semaphore;
};

// The dB drawing level of a track's point: 0 where the track's chunk has
// no point (the table's first entry is not 0 and would draw a line past
// the end of a shorter track's data).
int OndeDbLevel(const QWaveformOverview& ondes, int track, qint64 samplePos)
{
    return ondes.HasPointAt(track, samplePos) ? VoltToDecibel[8 * ondes.LevelAt(track, samplePos)] : 0;
}

} // namespace

QPlayTimeLine::QPlayTimeLine(QWidget* parent)
    : QWidget(parent)
    , m_fFontFactor(FontFactor())
{
    setMouseTracking(true);
    m_fontSmall = ScaledFont(generalFont9, m_fFontFactor);
    m_fontLarge = ScaledFont(generalFont11, m_fFontFactor);
    ResetWaveFormColor();
    Initialize();
}

QPlayTimeLine::~QPlayTimeLine() = default;

void QPlayTimeLine::Initialize()
{
    m_nPlaying = 0;
    m_nFrameRate = 24;
    ForgetTimeCodes();
    m_nHoverPos = -1;
    m_czLastPath.clear();
    m_Ondes.Clear();
    for (QString& name : m_czTrackName)
        name.clear();
    m_bOneToOne = false;
    m_Image = QImage();
    update();
}

void QPlayTimeLine::ResetWaveFormColor()
{
    for (int t = 0; t < QWaveformOverview::kTracks; ++t)
        m_colOnde[t] = kWaveCycle[t % 4];
}

void QPlayTimeLine::ForgetTimeCodes()
{
    // No value a take can hold: the next take's time codes are always shown,
    // 00:00:00:00 included.
    const tyTimeCodeFields unset{INT_MIN, INT_MIN, INT_MIN, INT_MIN};
    m_TcIn = unset;
    m_nTcInFrames = 0;
    m_czTcIn.clear();
    m_TcOut = unset;
    m_czTcOut.clear();
    m_TcSlate = unset;
    m_czTcSlate.clear();
}

void QPlayTimeLine::Clear()
{
    // Nothing playable is shown: no time code of the take shown before.
    m_nDurationSample = 0;
    ForgetTimeCodes();
    update();
}

void QPlayTimeLine::RequestRedraw()
{
    m_bRedraw = true;
    update();
}

// --- take data -------------------------------------------------------------

void QPlayTimeLine::SetDurationSample(int samples, bool force)
{
    if (samples == m_nDurationSample && !force)
        return;
    m_nDurationSample = samples;
    m_Length = TakeLengthOf(m_nDurationSample, m_nSampleRate);
    SetCurrPosInSample(m_nCurrPos);
}

void QPlayTimeLine::SetSampleRate(int rate)
{
    if (rate == m_nSampleRate)
        return;
    m_nSampleRate = rate;
    m_Length = TakeLengthOf(m_nDurationSample, m_nSampleRate);
    SetCurrPosInSample(m_nCurrPos);
}

void QPlayTimeLine::SetFrameRate(int fps)
{
    if (fps == m_nFrameRate)
        return;
    m_nFrameRate = fps;
    SetCurrPosInSample(m_nCurrPos);
}

bool QPlayTimeLine::tyTimeCodeFields::Store(int hours, int minutes, int seconds, int frames)
{
    if (hours == h && minutes == m && seconds == s && frames == f)
        return false;
    h = hours;
    m = minutes;
    s = seconds;
    f = frames;
    return true;
}

QString QPlayTimeLine::tyTimeCodeFields::Text() const
{
    return TimeCodeFieldsText(h, m, s, f);
}

void QPlayTimeLine::SetTcIn(int h, int m, int s, int f)
{
    if (!m_TcIn.Store(h, m, s, f))
        return;
    m_czTcIn = m_TcIn.Text();
    m_nTcInFrames = h < 0 ? 0 : (qint64(h) * 3600 + qint64(m) * 60 + s) * m_nFrameRate + f;
    SetCurrPosInSample(m_nCurrPos);
    update();
}

void QPlayTimeLine::SetTcOut(int h, int m, int s, int f)
{
    if (!m_TcOut.Store(h, m, s, f))
        return;
    m_czTcOut = TimeCodeOutText(h, m, s, f, m_Length);
    update();
}

void QPlayTimeLine::SetTcSlateA(int h, int m, int s, int f)
{
    if (!m_TcSlate.Store(h, m, s, f))
        return;
    m_czTcSlate = m_TcSlate.Text();
    update();
}

void QPlayTimeLine::setMarkerList(const QList<int>& markers)
{
    if (markers == m_Markers)
        return;
    m_Markers = markers;
    update();
}

void QPlayTimeLine::setSlateList(const QList<int>& slates)
{
    if (slates == m_Slates)
        return;
    m_Slates = slates;
    update();
}

void QPlayTimeLine::clearMarkerList()
{
    m_Markers.clear();
}

void QPlayTimeLine::clearSlateList()
{
    m_Slates.clear();
}

void QPlayTimeLine::setAutoSlate(bool autoSlate)
{
    if (autoSlate == m_bAutoSlate)
        return;
    m_bAutoSlate = autoSlate;
    update();
}

void QPlayTimeLine::SetCurrPosInSample(int samples)
{
    m_nCurrPos = samples;
    const qint64 x = SampleToPixel(samples, m_nDurationSample, m_nDrawingWidth);
    QString text;
    QString elapsed;
    qint64 frames = 0;
    if (m_nSampleRate < 1 || m_nFrameRate < 1) {
        text = QStringLiteral("--:--:--:--.--");
        elapsed = QStringLiteral("--h--m--s");
    } else {
        frames = qint64(m_nFrameRate) * samples / m_nSampleRate + m_nTcInFrames;
        text = PositionTimeCodeText(frames, m_nFrameRate);
        elapsed = ElapsedText(samples, m_nSampleRate, m_Length);
    }
    if (x == m_nCursorX && text == m_czPosTimeCode)
        return;
    m_nCursorX = x;
    m_czPosTimeCode = text;
    m_nPosFrames = frames;
    m_czElapsed = elapsed;
    update();
}

void QPlayTimeLine::SetPlayingState(bool playing, int value)
{
    const int state = playing ? 1 : 0;
    if (state == m_nPlaying && value == m_nPlayingValue)
        return;
    m_nPlaying = state;
    m_nPlayingValue = value;
    update();
}

void QPlayTimeLine::SetTrackName(int track, const QString& name)
{
    if (track < 0 || track >= QWaveformOverview::kTracks || name == m_czTrackName[track])
        return;
    m_czTrackName[track] = name;
    if (TrackInMask(m_nSoloMask, track))
        update();
}

void QPlayTimeLine::SetWaveFormDisplayMode(tPlayWavDisplayMode mode)
{
    if (mode == m_nDisplayMode)
        return;
    m_nDisplayMode = mode;
    RequestRedraw();
}

void QPlayTimeLine::do_SoloOnde(int mask)
{
    if (mask == m_nSoloMask)
        return;
    m_nSoloMask = mask;
    RequestRedraw();
}

void QPlayTimeLine::do_MuteOnde(int mask)
{
    MyQDebug("do_MuteOnde %X", unsigned(mask));
    if (mask == m_nMuteMask)
        return;
    m_nMuteMask = mask;
    MyQDebug("do_MuteOnde %X", unsigned(mask));
    RequestRedraw();
}

// --- waveform overview -----------------------------------------------------

bool QPlayTimeLine::LoadOndeFromAudioFile(const QString& basePath, bool poly)
{
    SemaphoreToken token(m_Semaphore);
    if (basePath != m_czLastPath) {
        m_czLastPath = basePath;
        m_Ondes.Load(basePath, poly);
    }
    m_bRedraw = true;
    update();
    return m_Ondes.WaveformPresent();
}

bool QPlayTimeLine::LoadOndeFromFiles(const QStringList& files)
{
    SemaphoreToken token(m_Semaphore);
    m_czLastPath.clear();
    m_Ondes.LoadFiles(files);
    m_bRedraw = true;
    update();
    return m_Ondes.WaveformPresent();
}

bool QPlayTimeLine::ReadChunk(QFile* file)
{
    return m_Ondes.ReadChunk(file);
}

bool QPlayTimeLine::IsOndeAvailable(int track) const
{
    if (!m_Ondes.HasTrack(track))
        return false;
    if (m_nSoloMask != 0 && !TrackInMask(m_nSoloMask, track))
        return false;
    return !TrackInMask(m_nMuteMask, track);
}

int QPlayTimeLine::GetOndeLevel(int track, unsigned int samplePos) const
{
    return m_Ondes.LevelAt(track, samplePos);
}

int QPlayTimeLine::GetOndeDbLevel(int track, unsigned int samplePos) const
{
    return OndeDbLevel(m_Ondes, track, samplePos);
}

bool QPlayTimeLine::LectureDataBin(QFile* file, unsigned char* buffer, long offset, unsigned long size)
{
    if (!file || !buffer)
        return false;
    if (offset != -1 && !file->seek(offset))
        return false;
    return file->read(reinterpret_cast<char*>(buffer), qint64(size)) > 0;
}

void QPlayTimeLine::SortAudioLevel(unsigned int samplePos, tyOndePoint* points)
{
    const bool db = m_nDisplayMode == WavDisplayCenteredDb || m_nDisplayMode == WavDisplayHalfDb;
    for (int t = 0; t < QWaveformOverview::kTracks; ++t) {
        tyOndePoint& p = points[t];
        p.nTrack = t;
        p.level = 0;
        p.bShown = IsOndeAvailable(t) ? 1 : 0;
        if (p.bShown) {
            const int byte = m_Ondes.LevelAt(t, samplePos);
            p.level = static_cast<unsigned char>(db ? OndeDbLevel(m_Ondes, t, samplePos) : byte);
        }
    }
    std::sort(points, points + QWaveformOverview::kTracks,
              [](const tyOndePoint& a, const tyOndePoint& b) { return a.level > b.level; });
}

bool QPlayTimeLine::ToggleDrawOndeOneOne()
{
    m_bOneToOne = !m_bOneToOne;
    RequestRedraw();
    return m_bOneToOne;
}

void QPlayTimeLine::get_SoloOnde(int* mask) const
{
    if (mask)
        *mask = m_nSoloMask;
}

int QPlayTimeLine::SetWaveFormColor(int track, QColor color)
{
    if (track < 0 || track >= QWaveformOverview::kTracks)
        return 1;
    m_colOnde[track] = color;
    return 0;
}

// --- geometry and mouse ----------------------------------------------------

void QPlayTimeLine::UpdateGeometry()
{
    const int drawingWidth = width() - 1 - 3;
    const int t = QFontMetrics(m_fontSmall).height();
    m_nAreaTop = t + 2;
    m_nAreaHeight = height() - 1 - t - 2;
    if (drawingWidth != m_nDrawingWidth) {
        m_nDrawingWidth = drawingWidth;
        SetCurrPosInSample(m_nCurrPos);
    }
}

qint64 QPlayTimeLine::SampleX(qint64 samplePos) const
{
    return 2 + SampleToPixel(samplePos, m_nDurationSample, m_nDrawingWidth);
}

bool QPlayTimeLine::InCursorStrip(const QPoint& point) const
{
    if (m_nDurationSample == 0)
        return false;
    const qint64 left = SampleToPixel(m_nCurrPos, m_nDurationSample, m_nDrawingWidth) + 1;
    return point.x() >= left && point.x() < left + 3 && point.y() >= m_nAreaTop
        && point.y() < m_nAreaTop + m_nAreaHeight;
}

bool QPlayTimeLine::InWaveformArea(const QPoint& point) const
{
    return point.x() >= 2 && point.x() <= m_nDrawingWidth + 2 && point.y() >= m_nAreaTop
        && point.y() <= m_nAreaTop + m_nAreaHeight;
}

void QPlayTimeLine::RequestSeek(const QPoint& point)
{
    // Without a take or a drawing width there is no position to go to.
    const qint64 pos = PixelToSample(point.x() - 2, m_nDurationSample, m_nDrawingWidth);
    if (pos == -1 && (m_nDurationSample <= 0 || m_nDrawingWidth < 1))
        return;
    emit signal_UserPlayPosRequest(int(std::clamp<qint64>(pos, 0, m_nDurationSample - 1)));
}

void QPlayTimeLine::mousePressEvent(QMouseEvent* event)
{
    RequestSeek(QPoint(qRound(event->localPos().x()), qRound(event->localPos().y())));
}

void QPlayTimeLine::mouseMoveEvent(QMouseEvent* event)
{
    if (m_nDurationSample <= 0 || m_nSampleRate <= 0)
        return;
    const QPoint point = event->pos();
    if (event->buttons() & Qt::LeftButton) {
        RequestSeek(point);
        if (InCursorStrip(point))
            setCursor(Qt::ClosedHandCursor);
        return;
    }
    if (event->buttons() != Qt::NoButton)
        return;
    setCursor(InCursorStrip(point) ? Qt::OpenHandCursor : Qt::ArrowCursor);
    if (InWaveformArea(point)) {
        m_nHoverPos = PixelToSample(point.x() - 2, m_nDurationSample, m_nDrawingWidth);
        setToolTip(QStringLiteral("Go to %1").arg(HoverTimeText(m_nHoverPos, m_nSampleRate, m_nDurationSample)));
    }
    update();
}

void QPlayTimeLine::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_nDurationSample == 0 || event->buttons() != Qt::NoButton)
        return;
    if (InCursorStrip(event->pos())) {
        setCursor(Qt::OpenHandCursor);
        return;
    }
    setCursor(Qt::ArrowCursor);
    emit signal_UserPlayPosRelease();
}

void QPlayTimeLine::wheelEvent(QWheelEvent*)
{
}

bool QPlayTimeLine::event(QEvent* event)
{
    if (event->type() == QEvent::Resize) {
        UpdateGeometry();
    } else if (event->type() == QEvent::Leave) {
        m_nHoverPos = -1;
        setCursor(Qt::ArrowCursor);
        update();
    }
    return QWidget::event(event);
}

// --- painting --------------------------------------------------------------

QColor QPlayTimeLine::BackgroundColor() const
{
    if (m_nDurationSample < 1)
        return m_colNoTake;
    if (!m_nPlaying)
        return m_colBgStopped;
    return m_nSoloMask ? m_colBgSolo : m_colBgPlaying;
}

QColor QPlayTimeLine::PlayedColor() const
{
    if (!m_nPlaying)
        return m_colPlayedStopped;
    return m_nSoloMask ? m_colPlayedSolo : m_colPlayedPlaying;
}

QString QPlayTimeLine::SoloLabel() const
{
    const bool present = m_Ondes.WaveformPresent();
    if (m_nSoloMask == 0 || !present)
        return present ? QString() : QStringLiteral("No waveform");
    QStringList names;
    for (int t = 0; t < QWaveformOverview::kTracks; ++t) {
        if (!TrackInMask(m_nSoloMask, t) || TrackInMask(m_nMuteMask, t))
            continue;
        names << (m_Ondes.HasTrack(t) ? m_czTrackName[t] : m_czTrackName[t] + QStringLiteral("(e)"));
    }
    return QStringLiteral("Solo: ") + names.join(QLatin1Char('-'));
}

void QPlayTimeLine::PrepareImage()
{
    const QSize size(std::max(m_nDrawingWidth, 1), std::max(m_nAreaHeight, 1));
    if (m_Image.size() != size) {
        m_Image = QImage(size, QImage::Format_ARGB32_Premultiplied);
        m_bRedraw = true;
    }
}

// Writes one column's lines straight into the image: each shown entry is a
// vertical line, centred or standing on the bottom, of level x height /
// divisor pixels, drawn loudest first so that quieter tracks lie over
// louder ones. The lines of a column are nested (a quieter line lies
// inside a louder one), so going from the quietest out and writing only
// the rows no quieter line took yields the same pixels as drawing them all
// in order, with each pixel written once.
void QPlayTimeLine::FillColumn(int x, const tyOndePoint* points, int levelDivisor, bool centred)
{
    const int h = m_Image.height();
    if (x < 0 || x >= m_Image.width())
        return;
    uchar* const bits = m_Image.bits();
    const qsizetype stride = m_Image.bytesPerLine();
    auto fill = [&](int from, int to, QRgb colour) {
        for (int y = from; y <= to; ++y)
            reinterpret_cast<QRgb*>(bits + y * stride)[x] = colour;
    };
    int takenTop = h, takenBottom = -1; // rows already written, empty at first
    for (int i = QWaveformOverview::kTracks - 1; i >= 0; --i) {
        const tyOndePoint& p = points[i];
        if (!p.bShown)
            continue;
        const int a = p.level * m_nAreaHeight / levelDivisor;
        int top = centred ? m_nAreaHeight / 2 - a / 2 : m_nAreaHeight - a;
        int bottom = centred ? m_nAreaHeight / 2 + a / 2 : m_nAreaHeight;
        top = std::max(top, 0);
        bottom = std::min(bottom, h - 1);
        if (top > bottom)
            continue;
        const QRgb colour = qPremultiply(m_colOnde[p.nTrack].rgba());
        if (takenTop > takenBottom) {
            fill(top, bottom, colour);
        } else {
            fill(top, std::min(bottom, takenTop - 1), colour);
            fill(std::max(top, takenBottom + 1), bottom, colour);
        }
        takenTop = std::min(takenTop, top);
        takenBottom = std::max(takenBottom, bottom);
    }
}

void QPlayTimeLine::DrawWaveForm_Scaled(QPainter* painter)
{
    PrepareImage();
    if (m_Ondes.SamplesPerPoint() == 0) {
        m_Image.fill(Qt::transparent);
    } else if (m_bRedraw) {
        m_Image.fill(Qt::transparent);
        SemaphoreToken token(m_Semaphore);
        const qint64 spp = m_Ondes.SamplesPerPoint();
        const qint64 points = m_Ondes.CoveredSamples() / spp;
        if (points > 0 && m_nDrawingWidth > 0) {
            const double scale = double(m_nDrawingWidth) / double(points);
            const bool db = m_nDisplayMode == WavDisplayCenteredDb || m_nDisplayMode == WavDisplayHalfDb;
            const bool centred =
                m_nDisplayMode == WavDisplayCenteredDb || m_nDisplayMode == WavDisplayCenteredLinear;
            tyOndePoint column[QWaveformOverview::kTracks];
            for (int c = 0; c < m_nDrawingWidth; ++c) {
                const unsigned int pos = unsigned(double(c) * double(spp) / scale);
                SortAudioLevel(pos, column);
                FillColumn(c + 3, column, db ? 32 : 255, centred);
            }
        }
        m_bRedraw = false;
    }
    painter->drawImage(0, m_nAreaTop, m_Image);
}

void QPlayTimeLine::DrawWaveForm_Multi(QPainter* painter)
{
    PrepareImage();
    if (m_Ondes.SamplesPerPoint() == 0) {
        m_Image.fill(Qt::transparent);
    } else if (m_bRedraw) {
        m_Image.fill(Qt::transparent);
        SemaphoreToken token(m_Semaphore);
        const qint64 spp = m_Ondes.SamplesPerPoint();
        const qint64 last = std::min<qint64>(m_Ondes.CoveredSamples() / spp, m_nDrawingWidth);
        tyOndePoint column[QWaveformOverview::kTracks];
        for (int x = 3; x <= last; ++x) {
            SortAudioLevel(unsigned(x * spp), column);
            FillColumn(x, column, 32, false);
        }
        m_bRedraw = false;
    }
    painter->drawImage(0, m_nAreaTop, m_Image);
}

void QPlayTimeLine::DrawWaveForm(QPainter* painter)
{
    const qint64 spp = m_Ondes.SamplesPerPoint();
    if (spp < 1 || m_nDrawingWidth < 1)
        return;
    const qint64 points = m_Ondes.CoveredSamples() / spp;
    if (points < 1)
        return;
    const double scale = double(m_nDrawingWidth) / double(points);
    const int h = m_nAreaHeight;
    QLinearGradient gradient(0, m_nAreaTop, 0, m_nAreaTop + h);
    gradient.setColorAt(0, m_colGradientTop);
    gradient.setColorAt(1, m_colGradientBottom);
    painter->setPen(Qt::NoPen);
    painter->setBrush(gradient);
    SemaphoreToken token(m_Semaphore);
    for (int t = 0; t < QWaveformOverview::kTracks; ++t) {
        if (!IsOndeAvailable(t))
            continue;
        for (int c = 0; c < m_nDrawingWidth; ++c) {
            const unsigned int pos = unsigned(double(c) * double(spp) / scale);
            const int bar = OndeDbLevel(m_Ondes, t, pos) * h / 32;
            painter->drawRect(c + 3, m_nAreaTop + h - bar, 1, bar);
        }
    }
}

void QPlayTimeLine::paintEvent(QPaintEvent*)
{
    UpdateGeometry();
    QPainter painter(this);
    const int w = m_nDrawingWidth;
    const int H = height() - 1;
    const int t = m_nAreaTop - 2;
    const int top = m_nAreaTop;
    const int h = m_nAreaHeight;

    painter.setPen(Qt::white);
    painter.setFont(m_fontSmall);
    painter.drawLine(2, t / 2, 2, t + 1);
    painter.drawLine(2, t / 2, 7, t / 2);
    painter.drawText(QRect(QPoint(10, 0), QPoint(w - 10, H + 1)), Qt::AlignLeft | Qt::AlignTop, m_czTcIn);
    painter.drawLine(w, t / 2, w, t + 1);
    painter.drawLine(w, t / 2, w - 5, t / 2);
    const int outWidth = QFontMetrics(m_fontSmall).horizontalAdvance(m_czTcOut);
    const int outLeft = m_czTcOut.isEmpty() ? w : w - outWidth - 13;
    painter.drawText(QRect(QPoint(outLeft, 0), QPoint(w, H + 1)), Qt::AlignLeft | Qt::AlignTop, m_czTcOut);

    painter.setBrush(BackgroundColor());
    painter.drawRect(2, top, w - 2, h);
    if (m_nDurationSample < 1)
        return;

    painter.setPen(Qt::NoPen);
    if (m_nCursorX != 0) {
        painter.setBrush(PlayedColor());
        painter.drawRect(QRect(QPoint(3, top + 1), QPoint(int(m_nCursorX) + 1, top + h - 1)));
    }
    if (m_bOneToOne)
        DrawWaveForm_Multi(&painter);
    else
        DrawWaveForm_Scaled(&painter);

    painter.setPen(Qt::black);
    painter.setFont(m_fontLarge);
    painter.drawText(QRect(QPoint(7, top), QPoint(w + 6, top + h - 1)), Qt::AlignLeft | Qt::AlignVCenter,
                     SoloLabel());

    QPen marker(Qt::black, 1, Qt::DotLine, Qt::FlatCap);
    painter.setPen(marker);
    for (int m : qAsConst(m_Markers)) {
        const int x = int(SampleX(m));
        painter.drawLine(x, top + 1, x, top + h - 2);
    }
    marker.setStyle(Qt::DashLine);
    painter.setPen(marker);
    for (int s : qAsConst(m_Slates)) {
        const int x = int(SampleX(s));
        painter.drawLine(x, top + 1, x, top + h - 2);
    }

    const int x = int(m_nCursorX);
    painter.setPen(Qt::red);
    painter.drawLine(x + 2, top, x + 3, top + h);
    painter.setPen(Qt::black);
    painter.drawLine(x + 3, top, x + 4, top + h);

    if (m_nHoverPos != -1) {
        painter.setPen(m_colHover);
        const int hx = int(SampleX(m_nHoverPos));
        painter.drawLine(hx, top, hx, top + h);
    }

    const QString label = QStringLiteral("%1 (%2)").arg(m_czPosTimeCode, m_czElapsed);
    painter.setFont(m_fontSmall);
    const int labelWidth = QFontMetrics(m_fontSmall).horizontalAdvance(label);
    painter.setPen(Qt::NoPen);
    painter.setBrush(BackgroundColor());
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QRect box(CursorLabelLeft(x, labelWidth + 20, outLeft), 0, labelWidth + 20, t);
    painter.drawRoundedRect(box, 3, 3);
    painter.setPen(Qt::white);
    painter.drawText(box.adjusted(10, 0, -10, -1), Qt::AlignCenter, label);
}
