#include "tests/take/sparsetake.h"

#include "foundation/filekey.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/riffreader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <cstdio>
#include <cstdlib>
#include <sys/time.h>
#include <ctime>

bool WriteSparseCopy(const QString& path, const QByteArray& fileBytes, quint32 dataSize)
{
    const fixture::RiffInfo info = fixture::ParseRiff(fileBytes);
    const fixture::RiffChunk* data = info.Find("data");
    if (!data)
        return false;
    const qint64 oldEnd = data->payloadOffset + data->size + (data->size & 1);
    const QByteArray head = fileBytes.left(int(data->payloadOffset));
    const QByteArray samples = fileBytes.mid(int(data->payloadOffset), int(qMin<qint64>(data->size, dataSize)));
    const QByteArray tail = fileBytes.mid(int(oldEnd));
    const qint64 tailOffset = data->payloadOffset + dataSize + (dataSize & 1);
    const qint64 total = tailOffset + tail.size();
    if (total - 8 > qint64(0xFFFFFFFFu))
        return false;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray header = head;
    qToLittleEndian<quint32>(quint32(total - 8), header.data() + 4);
    qToLittleEndian<quint32>(dataSize, header.data() + data->payloadOffset - 4);
    bool ok = file.write(header) == header.size() && file.write(samples) == samples.size();
    ok = ok && file.resize(tailOffset) && file.seek(tailOffset) && file.write(tail) == tail.size();
    file.close();
    return ok;
}

SparseDay WriteSparseDay(const QString& root, const QString& name, int takes, int tracks, int seconds, bool poly)
{
    SparseDay day;
    day.folder = root + QLatin1Char('/') + name + QLatin1Char('/');
    QList<int> slotList;
    for (int t = 0; t < tracks; ++t)
        slotList.append(t);
    for (int n = 0; n < takes; ++n) {
        const QString id = QStringLiteral("B%1").arg(n, 5, 10, QLatin1Char('0'));
        fixture::TakeSpec spec = poly ? fixture::PolyTake(id, slotList) : fixture::MonoTake(id, slotList);
        spec.frames = 4800;   // the samples written; the rest is a hole
        const quint32 bytes = quint32(seconds) * 48000u * 3u * quint32(poly ? tracks : 1);
        // The files carry the key of their enlarged audio, as a recorder's
        // do: a take whose key does not match is one a save refuses.
        const quint16 channels = quint16(poly ? tracks : 1);
        const QByteArray builtKey = MakeFileKey(spec.frames * 3u * channels, spec.sampleRate, spec.bits, channels).toLatin1();
        const QByteArray ownKey = MakeFileKey(bytes, spec.sampleRate, spec.bits, channels).toLatin1();
        for (int i = 0; i < (poly ? 1 : spec.tracks.size()); ++i) {
            const QString path = day.folder + fixture::TrackFileName(spec, i);
            QByteArray built = poly ? fixture::BuildPolyFile(spec) : fixture::BuildMonoFile(spec, i);
            if (!WriteSparseCopy(path, built.replace(builtKey, ownKey), bytes)) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
                std::exit(1);
            }
            day.files.append(path);
        }
        // A poly take is named by its file.
        day.takeIds.append(poly ? fixture::PolyFileName(spec).section(QLatin1Char('.'), 0, 0) : id);
    }
    // A card's folders were written long before they are browsed.
    const struct timeval past[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    ::utimes(QFile::encodeName(day.folder).constData(), past);
    return day;
}
