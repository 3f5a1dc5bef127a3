#include "tests/support/riffreader.h"

#include <QFile>
#include <QXmlStreamReader>

namespace fixture {

namespace {

quint16 ReadU16(const QByteArray& b, qint64 at)
{
    if (at < 0 || at + 2 > b.size())
        return 0;
    return quint16(quint8(b[int(at)]) | quint8(b[int(at + 1)]) << 8);
}

quint32 ReadU32(const QByteArray& b, qint64 at)
{
    if (at < 0 || at + 4 > b.size())
        return 0;
    quint32 v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | quint8(b[int(at + i)]);
    return v;
}

bool PlausibleId(const QByteArray& b, qint64 at)
{
    if (at + 8 > b.size())
        return false;
    for (int i = 0; i < 4; ++i) {
        const char c = b[int(at + i)];
        if (c < 0x20 || c > 0x7E)
            return false;
    }
    return true;
}

QByteArray UpToNul(const QByteArray& field)
{
    const int nul = field.indexOf('\0');
    return nul < 0 ? field : field.left(nul);
}

void ReadFmt(RiffInfo& info, const QByteArray& p)
{
    if (p.size() < 16)
        return;
    info.hasFmt = true;
    info.formatTag = ReadU16(p, 0);
    info.channels = ReadU16(p, 2);
    info.sampleRate = ReadU32(p, 4);
    info.byteRate = ReadU32(p, 8);
    info.blockAlign = ReadU16(p, 12);
    info.bits = ReadU16(p, 14);
}

void ReadBext(RiffInfo& info, QByteArray p)
{
    info.hasBext = true;
    if (p.size() < 602)
        p.append(QByteArray(602 - p.size(), '\0'));
    info.description = UpToNul(p.mid(0, 256));
    info.originator = UpToNul(p.mid(256, 32));
    info.originatorReference = p.mid(288, 32);
    info.originationDate = UpToNul(p.mid(320, 10));
    info.originationTime = UpToNul(p.mid(330, 8));
    info.timeReference = quint64(ReadU32(p, 338)) | quint64(ReadU32(p, 342)) << 32;
}

// Walks the elements and calls back with the path below the root and the
// element's own text for every element.
template <typename Fn>
bool WalkXml(const QByteArray& ixml, Fn onElement, QString* root = nullptr)
{
    QByteArray text = ixml;
    while (!text.isEmpty() && (text.endsWith('\0') || text.endsWith(' ') || text.endsWith('\n')
                               || text.endsWith('\r') || text.endsWith('\t')))
        text.chop(1);
    QXmlStreamReader xml(text);
    QStringList stack;
    QStringList texts;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (stack.isEmpty() && root)
                *root = xml.name().toString();
            stack << xml.name().toString();
            texts << QString();
            break;
        case QXmlStreamReader::Characters:
            if (!texts.isEmpty())
                texts.last() += xml.text();
            break;
        case QXmlStreamReader::EndElement:
            if (stack.size() > 1)
                onElement(stack.mid(1).join(QLatin1Char('/')), texts.last());
            stack.removeLast();
            texts.removeLast();
            break;
        default:
            break;
        }
    }
    return !xml.hasError();
}

}  // namespace

const RiffChunk* RiffInfo::Find(const QByteArray& id) const
{
    for (const RiffChunk& c : chunks) {
        if (c.id == id)
            return &c;
    }
    return nullptr;
}

QStringList RiffInfo::ChunkIds() const
{
    QStringList ids;
    for (const RiffChunk& c : chunks)
        ids << QString::fromLatin1(c.id);
    return ids;
}

quint32 RiffInfo::Frames() const
{
    return blockAlign ? dataSize / blockAlign : 0;
}

QString RiffInfo::DescriptionValue(const QString& key) const
{
    const QString prefix = key + QLatin1Char('=');
    for (const QString& line : QString::fromLatin1(description).split(QStringLiteral("\r\n"))) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size());
    }
    return QString();
}

RiffInfo ParseRiff(const QByteArray& bytes)
{
    RiffInfo info;
    info.fileSize = bytes.size();
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE")
        return info;
    info.isRiffWave = true;
    info.riffSize = ReadU32(bytes, 4);
    qint64 at = 12;
    while (at + 8 <= bytes.size()) {
        RiffChunk c;
        c.id = bytes.mid(int(at), 4);
        c.size = ReadU32(bytes, at + 4);
        c.offset = at;
        c.payloadOffset = at + 8;
        const qint64 end = c.payloadOffset + qint64(c.size);
        c.truncated = end > bytes.size();
        const QByteArray payload = bytes.mid(int(c.payloadOffset), int(qMin<qint64>(c.size, bytes.size() - c.payloadOffset)));
        info.chunks << c;
        info.walkedEnd = qMin<qint64>(end, bytes.size());

        if (c.id == "fmt ") {
            ReadFmt(info, payload);
        } else if (c.id == "data") {
            info.hasData = true;
            info.dataSize = c.size;
            info.dataOffset = c.payloadOffset;
            info.data = payload;
        } else if (c.id == "bext") {
            ReadBext(info, payload);
        } else if (c.id == "iXML") {
            info.hasIxml = true;
            info.ixml = payload;
        }
        if (c.truncated)
            break;
        // Recorder chunks carry no pad byte; standard ones do.
        at = end;
        if ((c.size & 1) && !PlausibleId(bytes, at) && PlausibleId(bytes, at + 1))
            ++at;
    }
    return info;
}

RiffInfo ReadRiffFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return RiffInfo();
    return ParseRiff(f.readAll());
}

QStringList IxmlValues(const QByteArray& ixml, const QString& path)
{
    QStringList values;
    const bool ok = WalkXml(ixml, [&](const QString& p, const QString& text) {
        if (p == path)
            values << text;
    });
    return ok ? values : QStringList();
}

QString IxmlValue(const QByteArray& ixml, const QString& path)
{
    const QStringList values = IxmlValues(ixml, path);
    return values.isEmpty() ? QString() : values.first();
}

QString IxmlRoot(const QByteArray& ixml)
{
    QString root;
    const bool ok = WalkXml(ixml, [](const QString&, const QString&) {}, &root);
    return ok ? root : QString();
}

}  // namespace fixture
