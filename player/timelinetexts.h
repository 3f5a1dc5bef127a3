#ifndef NALVO_PLAYER_TIMELINETEXTS_H
#define NALVO_PLAYER_TIMELINETEXTS_H

#include <QString>
#include <QtGlobal>

// Texts and coordinates of the waveform timeline. Every product of a sample
// count goes through 64 bits: a 2-hour take at 48 kHz has 3.5e8 samples.

struct tyTakeLength
{
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
};

// Hours (mod 24), minutes and seconds of a duration; zero for a rate below 1.
tyTakeLength TakeLengthOf(qint64 durationSamples, int sampleRate);

// "HH:MM:SS:FF"; dashes when a field is negative (no frame rate known).
QString TimeCodeFieldsText(int h, int m, int s, int f);

// TimeCodeFieldsText followed by the take length: " (01h02m03s)", " (02m03s)",
// " (03s)" or nothing.
QString TimeCodeOutText(int h, int m, int s, int f, const tyTakeLength& length);

// "HH:MM:SS.FF" of a frame count (hours wrap at 24); dashes below 1 fps.
QString PositionTimeCodeText(qint64 frames, int fps);

// Elapsed time of a position in the precision of the take length:
// "01h02m03s", "02m03s", "03s" or empty. Dashes for a rate below 1.
QString ElapsedText(qint64 samplePos, int sampleRate, const tyTakeLength& length);

// The hover tooltip time "01h02m03s.456", "02m03s.456" or "03s.456".
QString HoverTimeText(qint64 samplePos, int sampleRate, qint64 durationSamples);

// Pixel offset of a sample within a drawing width; 0 without a take or width.
qint64 SampleToPixel(qint64 samplePos, qint64 durationSamples, int drawingWidth);

// The sample under a pixel offset, or -1 without a take or width.
qint64 PixelToSample(qint64 pixel, qint64 durationSamples, int drawingWidth);

// Left edge of the play cursor's label box, boxWidth wide: it starts just
// before the cursor at cursorX, moves left as far as it must to end before
// the end time code that starts at endLabelLeft, and never starts left of 0.
int CursorLabelLeft(int cursorX, int boxWidth, int endLabelLeft);

#endif
