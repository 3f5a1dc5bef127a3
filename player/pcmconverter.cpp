#include "player/pcmconverter.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

PcmConverter::PcmConverter(int inputRate, const QAudioFormat& output)
    : m_Output(output)
    , m_dStep(output.sampleRate() > 0 ? double(inputRate) / output.sampleRate() : 1.0)
{
}

bool PcmConverter::CanWrite(const QAudioFormat& output)
{
    if (output.sampleRate() <= 0 || output.channelCount() <= 0)
        return false;
    switch (output.sampleType()) {
    case QAudioFormat::SignedInt: return output.sampleSize() == 16 || output.sampleSize() == 32;
    case QAudioFormat::UnSignedInt: return output.sampleSize() == 8;
    case QAudioFormat::Float: return output.sampleSize() == 32;
    default: return false;
    }
}

qint64 PcmConverter::InputFramesFor(qint64 outputFrames) const
{
    return qint64(std::ceil(double(outputFrames) * m_dStep));
}

void PcmConverter::WriteFrame(double left, double right, QByteArray* out) const
{
    const int channels = m_Output.channelCount();
    const int bytes = m_Output.sampleSize() / 8;
    const bool little = m_Output.byteOrder() == QAudioFormat::LittleEndian;
    char sample[4];
    for (int c = 0; c < channels; ++c) {
        // Full scale is 1.0.
        double v = channels == 1 ? (left + right) / 2 : c == 0 ? left : c == 1 ? right : 0.0;
        v = std::clamp(v / 32768.0, -1.0, 32767.0 / 32768.0);
        if (m_Output.sampleType() == QAudioFormat::Float) {
            const float f = float(v);
            quint32 raw;
            std::memcpy(&raw, &f, 4);
            little ? qToLittleEndian(raw, sample) : qToBigEndian(raw, sample);
        } else if (bytes == 4) {
            const qint32 i = qint32(std::min(std::llround(v * 2147483648.0), 2147483647LL));
            little ? qToLittleEndian(i, sample) : qToBigEndian(i, sample);
        } else if (bytes == 2) {
            const qint16 i = qint16(std::lround(v * 32768.0));
            little ? qToLittleEndian(i, sample) : qToBigEndian(i, sample);
        } else {
            sample[0] = char(quint8(std::lround(v * 128.0) + 128));
        }
        out->append(sample, bytes);
    }
}

void PcmConverter::Convert(const qint16* frames, int frameCount, QByteArray* out)
{
    // Point 0 is the last frame of the previous call, point i the input frame i - 1.
    auto point = [&](int i, int channel) -> double {
        return i == 0 ? m_Previous[channel] : double(frames[2 * (i - 1) + channel]);
    };
    while (m_dPosition < frameCount) {
        const int i = int(m_dPosition);
        const double t = m_dPosition - i;
        const double left = point(i, 0) + (point(i + 1, 0) - point(i, 0)) * t;
        const double right = point(i, 1) + (point(i + 1, 1) - point(i, 1)) * t;
        WriteFrame(left, right, out);
        m_dPosition += m_dStep;
    }
    if (frameCount > 0) {
        m_dPosition -= frameCount;
        m_Previous[0] = frames[2 * (frameCount - 1)];
        m_Previous[1] = frames[2 * (frameCount - 1) + 1];
    }
}

ConvertingSource::ConvertingSource(QIODevice* source, int inputRate, const QAudioFormat& output, QObject* parent)
    : QIODevice(parent)
    , m_pSource(source)
    , m_Converter(inputRate, output)
    , m_nOutputFrameBytes(std::max(1, output.bytesPerFrame()))
{
}

qint64 ConvertingSource::readData(char* data, qint64 maxlen)
{
    if (maxlen <= 0)
        return 0;
    if (m_Pending.size() < maxlen) {
        const qint64 frames = m_Converter.InputFramesFor((maxlen - m_Pending.size()) / m_nOutputFrameBytes + 1);
        m_Input.resize(int(frames * 4));
        const qint64 got = m_pSource->read(m_Input.data(), m_Input.size());
        if (got > 0)
            m_Converter.Convert(reinterpret_cast<const qint16*>(m_Input.constData()), int(got / 4), &m_Pending);
    }
    const qint64 n = std::min<qint64>(maxlen, m_Pending.size()) / m_nOutputFrameBytes * m_nOutputFrameBytes;
    std::memcpy(data, m_Pending.constData(), size_t(n));
    m_Pending.remove(0, int(n));
    return n;
}
