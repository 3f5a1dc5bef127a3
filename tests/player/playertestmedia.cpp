#include "tests/player/playertestmedia.h"

#include "foundation/qpath.h"
#include "take/soundperform.h"
#include "tests/support/riffreader.h"

#include <QFile>
#include <QtEndian>

namespace {

QByteArray ConstantFrames(const QList<int>& values, int channels, quint32 frames, int bits)
{
    const int b = bits / 8;
    QByteArray frame(channels * b, '\0');
    for (int c = 0; c < channels; ++c) {
        const qint32 v = values.value(c);
        for (int i = 0; i < b; ++i)
            frame[c * b + i] = char((v >> (8 * i)) & 0xFF);
    }
    QByteArray bytes;
    bytes.reserve(int(frame.size() * frames));
    for (quint32 f = 0; f < frames; ++f)
        bytes.append(frame);
    return bytes;
}

bool Overwrite(const QString& path, const QByteArray& samples)
{
    const fixture::RiffInfo info = fixture::ReadRiffFile(path);
    QFile file(path);
    if (!info.hasData || quint32(samples.size()) != info.dataSize || !file.open(QIODevice::ReadWrite))
        return false;
    return file.seek(info.dataOffset) && file.write(samples) == samples.size();
}

} // namespace

QString WriteConstantTake(const QString& folder, const fixture::TakeSpec& spec, const QList<int>& values)
{
    const fixture::WrittenTake written = fixture::WriteTake(folder, spec);
    if (written.files.isEmpty())
        return QString();
    if (spec.poly) {
        if (!Overwrite(written.files.first(), ConstantFrames(values, spec.tracks.size(), spec.frames, spec.bits)))
            return QString();
        return written.files.first().chopped(4);
    }
    for (int i = 0; i < written.files.size(); ++i) {
        if (!Overwrite(written.files[i], ConstantFrames({values.value(i)}, 1, spec.frames, spec.bits)))
            return QString();
    }
    return AudioPathFileShortenedToRacine(written.files.first());
}

bool LoadTestTake(QSoundPerform* take, const QString& takePath)
{
    return !takePath.isEmpty() && take->InitFilesZZ(takePath, QStringLiteral("WAV"));
}

QList<int> StereoSamples(const QByteArray& bytes)
{
    QList<int> samples;
    for (int i = 0; i + 1 < bytes.size(); i += 2)
        samples.append(qFromLittleEndian<qint16>(bytes.constData() + i));
    return samples;
}
