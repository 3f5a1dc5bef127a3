#ifndef NALVO_PLAYER_PCMCONVERTER_H
#define NALVO_PLAYER_PCMCONVERTER_H

#include <QAudioFormat>
#include <QByteArray>
#include <QIODevice>
#include <QtGlobal>

// Turns the player's 16-bit stereo at the take's rate into the format an
// output device accepts: another rate (linear interpolation, so a 32 kHz
// take keeps its speed and pitch on a 48 kHz device), another channel count
// (mono gets the mean of left and right, further channels silence),
// another sample size or type and byte order.
class PcmConverter
{
public:
    PcmConverter(int inputRate, const QAudioFormat& output);

    // True when the output format is one this converter can write.
    static bool CanWrite(const QAudioFormat& output);
    // Appends the conversion of the stereo frames to out. The interpolation
    // runs on across calls.
    void Convert(const qint16* frames, int frameCount, QByteArray* out);
    // Input frames that give about outputFrames frames.
    qint64 InputFramesFor(qint64 outputFrames) const;

private:
    void WriteFrame(double left, double right, QByteArray* out) const;

    const QAudioFormat m_Output;
    const double m_dStep;        // input frames per output frame
    double m_dPosition = 0.0;    // of the next output frame, from m_Previous
    double m_Previous[2] = {0.0, 0.0};
};

// A read-only device that pulls the player's source and hands out the
// converted bytes.
class ConvertingSource : public QIODevice
{
public:
    ConvertingSource(QIODevice* source, int inputRate, const QAudioFormat& output, QObject* parent = nullptr);
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxlen) override;
    qint64 writeData(const char*, qint64) override { return 0; }

private:
    QIODevice* m_pSource;
    PcmConverter m_Converter;
    const int m_nOutputFrameBytes;
    QByteArray m_Pending;
    QByteArray m_Input;
};

#endif
