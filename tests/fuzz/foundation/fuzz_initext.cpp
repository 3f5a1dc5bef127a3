// The settings text written in memory must read, through QSettings, as the
// file QSettings itself saves for the same keys: any names, any values.
#include "foundation/initext.h"
#include "tests/fuzz/fuzzinput.h"

#include <QPoint>
#include <QRect>
#include <QSettings>
#include <QSize>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

// The input read as records: a kind byte, then texts and numbers.
class Reader
{
public:
    Reader(const uint8_t* data, size_t size) : m_pData(data), m_nSize(size) {}
    bool AtEnd() const { return m_nPos >= m_nSize; }
    uint8_t Byte() { return AtEnd() ? 0 : m_pData[m_nPos++]; }
    int Number()
    {
        quint32 v = 0;
        for (int i = 0; i < 4; ++i)
            v = v << 8 | Byte();
        return int(v);
    }
    QByteArray Bytes()
    {
        const size_t length = std::min<size_t>(Byte() % 24, m_nSize - std::min(m_nPos, m_nSize));
        const QByteArray bytes(reinterpret_cast<const char*>(m_pData + m_nPos), int(length));
        m_nPos += length;
        return bytes;
    }
    QString Text() { return QString::fromUtf8(Bytes()); }

private:
    const uint8_t* m_pData;
    size_t m_nSize;
    size_t m_nPos = 0;
};

QVariant Value(Reader& in)
{
    switch (in.Byte() % 9) {
    case 0:
        return in.Number();
    case 1:
        return bool(in.Byte() & 1);
    case 2:
        return in.Bytes();
    case 3: {
        QStringList list;
        for (int n = in.Byte() % 4; n > 0; --n)
            list << in.Text();
        return list;
    }
    case 4:
        return QSize(in.Number(), in.Number());
    case 5:
        return QPoint(in.Number(), in.Number());
    case 6:
        // Within a short's range: QRect's own corner overflows past it.
        return QRect(short(in.Number()), short(in.Number()), short(in.Number()), short(in.Number()));
    case 7:
        return QVariantList{in.Number(), in.Text()};
    default:
        return in.Text();
    }
}

// A name QSettings keeps as given: not empty, no '/' (groups are set
// apart) and no '\' (which its ini files turn into '/').
QString Name(Reader& in)
{
    QString name = in.Text();
    name.remove(QLatin1Char('/'));
    name.remove(QLatin1Char('\\'));
    return name.isEmpty() ? QStringLiteral("k") : name;
}

QMap<QString, QVariant> ReadBack(const QString& path)
{
    QMap<QString, QVariant> keys;
    const QSettings settings(path, QSettings::IniFormat);
    for (const QString& key : settings.allKeys())
        keys.insert(key, settings.value(key));
    return keys;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QList<std::pair<QString, QVariant>> keys;
    Reader in(data, size);
    while (!in.AtEnd() && keys.size() < 32) {
        const bool grouped = in.Byte() & 1;
        QString key = Name(in);
        if (grouped)
            key = Name(in) + QLatin1Char('/') + key;
        keys.append({key, Value(in)});
    }
    const QByteArray text = IniText(QString(), [&](IniKeys& ini) {
        for (const auto& key : keys)
            ini.setValue(key.first, key.second);
    });
    // New names each run: QSettings keeps a file it read by its name, size
    // and time, which a file of the last run may match.
    static int run = 0;
    ++run;
    const QString ours = WriteFuzzInput(QStringLiteral("ours%1.ini").arg(run),
                                        reinterpret_cast<const uint8_t*>(text.constData()), size_t(text.size()));
    const QString theirs = WriteFuzzInput(QStringLiteral("theirs%1.ini").arg(run), nullptr, 0);
    if (ours.isEmpty() || theirs.isEmpty())
        return 0;
    {
        QSettings settings(theirs, QSettings::IniFormat);
        for (const auto& key : keys)
            settings.setValue(key.first, key.second);
        settings.sync();
        if (settings.status() != QSettings::NoError)
            return 0;
    }
    // Read under another name: QSettings answers for the name it saved
    // from its memory, with the values as they were set.
    const QString reread = theirs + QStringLiteral(".read");
    if (!QFile::copy(theirs, reread))
        return 0;
    QFile saved(reread);
    const bool same = ReadBack(ours) == ReadBack(reread);
    if (!same && saved.open(QIODevice::ReadOnly))
        fprintf(stderr, "ours:\n%s\ntheirs:\n%s\n", text.constData(), saved.readAll().constData());
    QFile::remove(ours);
    QFile::remove(theirs);
    QFile::remove(reread);
    if (!same)
        abort();
    return 0;
}
