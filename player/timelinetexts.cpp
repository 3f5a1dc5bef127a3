#include "player/timelinetexts.h"

tyTakeLength TakeLengthOf(qint64 durationSamples, int sampleRate)
{
    tyTakeLength length;
    if (sampleRate < 1)
        return length;
    const qint64 seconds = durationSamples / sampleRate;
    length.hours = int((seconds / 3600) % 24);
    length.minutes = int((seconds / 60) % 60);
    length.seconds = int(seconds % 60);
    return length;
}

QString TimeCodeFieldsText(int h, int m, int s, int f)
{
    if (h < 0 || m < 0 || s < 0 || f < 0)
        return QStringLiteral("--:--:--:--");
    return QString::asprintf("%2.2d:%2.2d:%2.2d:%2.2d", h, m, s, f);
}

QString TimeCodeOutText(int h, int m, int s, int f, const tyTakeLength& length)
{
    QString text = TimeCodeFieldsText(h, m, s, f);
    if (length.hours >= 1)
        text += QString::asprintf(" (%02dh%02dm%02ds)", length.hours, length.minutes, length.seconds);
    else if (length.minutes >= 1)
        text += QString::asprintf(" (%02dm%02ds)", length.minutes, length.seconds);
    else if (length.seconds > 0)
        text += QString::asprintf(" (%02ds)", length.seconds);
    return text;
}

QString PositionTimeCodeText(qint64 frames, int fps)
{
    if (fps < 1)
        return QStringLiteral("--:--:--:--.--");
    return QString::asprintf("%2.2d:%2.2d:%2.2d.%2.2d", int((frames / (qint64(fps) * 3600)) % 24),
                             int((frames / (qint64(fps) * 60)) % 60), int((frames / fps) % 60),
                             int(frames % fps));
}

QString ElapsedText(qint64 samplePos, int sampleRate, const tyTakeLength& length)
{
    if (sampleRate < 1)
        return QStringLiteral("--h--m--s");
    const qint64 e = samplePos / sampleRate;
    if (length.hours > 0)
        return QString::asprintf("%02dh%02dm%02ds", int((e / 3600) % 24), int((e / 60) % 60), int(e % 60));
    if (length.minutes > 0)
        return QString::asprintf("%02dm%02ds", int((e / 60) % 60), int(e % 60));
    if (length.seconds > 0)
        return QString::asprintf("%02ds", int(e % 60));
    return QString();
}

QString HoverTimeText(qint64 samplePos, int sampleRate, qint64 durationSamples)
{
    if (sampleRate < 1)
        return QString();
    const qint64 ms = samplePos * 1000 / sampleRate;
    if (durationSamples > qint64(sampleRate) * 3600)
        return QString::asprintf("%2.2dh%2.2dm%2.2ds.%3.3d", int((ms / 3600000) % 24), int((ms / 60000) % 60),
                                 int((ms / 1000) % 60), int(ms % 1000));
    if (durationSamples > qint64(sampleRate) * 60)
        return QString::asprintf("%2.2dm%2.2ds.%3.3d", int((ms / 60000) % 60), int((ms / 1000) % 60),
                                 int(ms % 1000));
    return QString::asprintf("%2.2ds.%3.3d", int((ms / 1000) % 60), int(ms % 1000));
}

qint64 SampleToPixel(qint64 samplePos, qint64 durationSamples, int drawingWidth)
{
    if (durationSamples <= 0 || drawingWidth < 1)
        return 0;
    return qint64(drawingWidth) * samplePos / durationSamples;
}

qint64 PixelToSample(qint64 pixel, qint64 durationSamples, int drawingWidth)
{
    if (durationSamples <= 0 || drawingWidth < 1)
        return -1;
    return pixel * durationSamples / drawingWidth;
}

int CursorLabelLeft(int cursorX, int boxWidth, int endLabelLeft)
{
    // The box reaches 5 px back over the cursor line; the gap keeps the two
    // time codes apart where they meet.
    const int kBehindCursor = 5;
    const int kGap = 4;
    return qMax(0, qMin(cursorX - kBehindCursor, endLabelLeft - kGap - boxWidth));
}
