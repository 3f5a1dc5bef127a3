#include "tests/player/playertestmedia.h"

#include "foundation/qpath.h"
#include "take/soundperform.h"
#include "tests/support/riffreader.h"

#include <QFile>
#include <QtEndian>

namespace {

// Frames of the given tracks (list positions), interleaved in list order.
QByteArray Frames(const QList<int>& tracks, quint32 frames, int bits, const std::function<qint32(int, qint64)>& sample)
{
    const int b = bits / 8;
    QByteArray bytes(int(qint64(frames) * tracks.size() * b), '\0');
    char* out = bytes.data();
    for (quint32 f = 0; f < frames; ++f) {
        for (const int track : tracks) {
            const qint32 v = sample(track, f);
            for (int i = 0; i < b; ++i)
                *out++ = char((v >> (8 * i)) & 0xFF);
        }
    }
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
    return WriteSampledTake(folder, spec, [&values](int track, qint64) { return qint32(values.value(track)); });
}

QString WriteSampledTake(const QString& folder, const fixture::TakeSpec& spec,
                         const std::function<qint32(int, qint64)>& sample)
{
    const fixture::WrittenTake written = fixture::WriteTake(folder, spec);
    if (written.files.isEmpty())
        return QString();
    if (spec.poly) {
        QList<int> all;
        for (int i = 0; i < spec.tracks.size(); ++i)
            all.append(i);
        if (!Overwrite(written.files.first(), Frames(all, spec.frames, spec.bits, sample)))
            return QString();
        return written.files.first().chopped(4);
    }
    for (int i = 0; i < written.files.size(); ++i) {
        if (!Overwrite(written.files[i], Frames({i}, spec.frames, spec.bits, sample)))
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
