#include "tests/take/sparsetake.h"

#include "tests/support/riffreader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

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
