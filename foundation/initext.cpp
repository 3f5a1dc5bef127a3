#include "foundation/initext.h"

#include <QDataStream>
#include <QPoint>
#include <QRect>
#include <QSettings>
#include <QSize>

// The notation below is QSettings' own for its ini format (Qt 5), without
// a text codec: what it reads back as the values set.
namespace {

const char kHex[] = "0123456789ABCDEF";

// A section or key name: letters, digits, '_', '-' and '.' as they are,
// '/' as '\', any other character as %XX or %UXXXX.
void AppendEscapedKey(const QString& key, QByteArray* out)
{
    for (const QChar c : key) {
        uint ch = c.unicode();
        if (ch == '/') {
            *out += '\\';
        } else if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '_'
                   || ch == '-' || ch == '.') {
            *out += char(ch);
        } else if (ch <= 0xFF) {
            *out += '%';
            *out += kHex[ch / 16];
            *out += kHex[ch % 16];
        } else {
            *out += "%U";
            char digits[4];
            for (int i = 3; i >= 0; --i, ch >>= 4)
                digits[i] = kHex[ch % 16];
            out->append(digits, 4);
        }
    }
}

// A value's text: control characters, '"', '\' and every character past
// ASCII escaped (a hexadecimal digit after a \x escape escaped too, so it
// does not lengthen it); quoted when it holds ';', ',' or '=' or starts or
// ends with a blank.
void AppendEscapedString(const QString& text, QByteArray* out)
{
    bool needsQuotes = false;
    bool escapeNextIfDigit = false;
    const int start = out->size();
    for (const QChar c : text) {
        const uint ch = c.unicode();
        if (ch == ';' || ch == ',' || ch == '=')
            needsQuotes = true;
        if (escapeNextIfDigit
            && ((ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F'))) {
            *out += "\\x" + QByteArray::number(ch, 16);
            continue;
        }
        escapeNextIfDigit = false;
        switch (ch) {
        case '\0':
            *out += "\\0";
            escapeNextIfDigit = true;
            break;
        case '\a':
            *out += "\\a";
            break;
        case '\b':
            *out += "\\b";
            break;
        case '\f':
            *out += "\\f";
            break;
        case '\n':
            *out += "\\n";
            break;
        case '\r':
            *out += "\\r";
            break;
        case '\t':
            *out += "\\t";
            break;
        case '\v':
            *out += "\\v";
            break;
        case '"':
        case '\\':
            *out += '\\';
            *out += char(ch);
            break;
        default:
            if (ch <= 0x1F || ch >= 0x7F) {
                *out += "\\x" + QByteArray::number(ch, 16);
                escapeNextIfDigit = true;
            } else {
                *out += char(ch);
            }
        }
    }
    if (needsQuotes || (start < out->size() && (out->at(start) == ' ' || out->at(out->size() - 1) == ' '))) {
        out->insert(start, '"');
        *out += '"';
    }
}

// One value's text before escaping: numbers, flags and texts as they
// read ("@" doubled at the start of a text), the geometry types by name,
// anything else as its data stream.
QString ValueText(const QVariant& value)
{
    switch (value.userType()) {
    case QMetaType::UnknownType:
        return QStringLiteral("@Invalid()");
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return QLatin1String("@ByteArray(") + QLatin1String(bytes.constData(), bytes.size()) + QLatin1Char(')');
    }
    case QMetaType::QString:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Bool:
    case QMetaType::Double:
    case QMetaType::QKeySequence: {
        QString text = value.toString();
        if (text.contains(QChar::Null))
            return QLatin1String("@String(") + text + QLatin1Char(')');
        if (text.startsWith(QLatin1Char('@')))
            text.prepend(QLatin1Char('@'));
        return text;
    }
    case QMetaType::QRect: {
        const QRect r = value.toRect();
        return QString::asprintf("@Rect(%d %d %d %d)", r.x(), r.y(), r.width(), r.height());
    }
    case QMetaType::QSize: {
        const QSize s = value.toSize();
        return QString::asprintf("@Size(%d %d)", s.width(), s.height());
    }
    case QMetaType::QPoint: {
        const QPoint p = value.toPoint();
        return QString::asprintf("@Point(%d %d)", p.x(), p.y());
    }
    default:
        break;
    }
    const bool dateTime = value.userType() == QMetaType::QDateTime;
    QByteArray bytes;
    {
        QDataStream stream(&bytes, QIODevice::WriteOnly);
        stream.setVersion(dateTime ? QDataStream::Qt_5_6 : QDataStream::Qt_4_0);
        stream << value;
    }
    return QLatin1String(dateTime ? "@DateTime(" : "@Variant(") + QLatin1String(bytes.constData(), bytes.size())
           + QLatin1Char(')');
}

// A value as it follows "key=": a list of texts (but for a list of one
// item other than texts) comma-separated, an empty one as "@Invalid()".
void AppendValue(const QVariant& value, QByteArray* out)
{
    const bool list = value.userType() == QMetaType::QStringList
                      || (value.userType() == QMetaType::QVariantList && value.toList().size() != 1);
    if (!list)
        return AppendEscapedString(ValueText(value), out);
    const QVariantList items = value.toList();
    if (items.isEmpty())
        *out += "@Invalid()";
    for (int i = 0; i < items.size(); ++i) {
        if (i != 0)
            *out += ", ";
        AppendEscapedString(ValueText(items.at(i)), out);
    }
}

}  // namespace

void IniKeys::setValue(const QString& key, const QVariant& value)
{
    QString name;
    for (const QString& group : qAsConst(m_lczGroups))
        name += group + QLatin1Char('/');
    m_Keys.insert(name + key, value);
}

QByteArray IniText(const QString& base, const std::function<void(IniKeys&)>& fill)
{
    IniKeys keys;
    if (!base.isEmpty()) {
        const QSettings old(base, QSettings::IniFormat);
        for (const QString& key : old.allKeys())
            keys.setValue(key, old.value(key));
    }
    fill(keys);
    // The sections in name order, the top-level keys' ("General") first,
    // each with its keys in name order.
    QMap<QString, QMap<QString, QVariant>> sections;
    for (auto key = keys.All().cbegin(); key != keys.All().cend(); ++key) {
        const int slash = key.key().indexOf(QLatin1Char('/'));
        sections[slash < 0 ? QString() : key.key().left(slash)].insert(key.key().mid(slash + 1), key.value());
    }
    QByteArray text;
    for (auto section = sections.cbegin(); section != sections.cend(); ++section) {
        QByteArray name;
        AppendEscapedKey(section.key(), &name);
        if (name.isEmpty())
            name = "General";
        else if (name.compare("general", Qt::CaseInsensitive) == 0)
            name = "%General";
        if (!text.isEmpty())
            text += '\n';
        text += '[' + name + "]\n";
        for (auto key = section.value().cbegin(); key != section.value().cend(); ++key) {
            AppendEscapedKey(key.key(), &text);
            text += '=';
            AppendValue(key.value(), &text);
            text += '\n';
        }
    }
    return text;
}
