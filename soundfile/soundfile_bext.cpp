// bext description lines and film chunk fields of QSoundFile.
#include "soundfile/soundfile.h"

#include "foundation/messageloging.h"
#include "soundfile/bextdescription.h"
#include "soundfile/filestatus.h"

namespace {

// Canonical field widths of the description lines.
constexpr int kSceneWidth = 9;
constexpr int kTakeWidth = 6;
constexpr int kTapeWidth = 4;
constexpr int kUbitsWidth = 8;
constexpr int kNoteWidth = 49;
constexpr int kTypeWidth = 5; // "mxdnL"

QString FixedText(const char* bytes, int size)
{
    int end = 0;
    while (end < size && bytes[end] != '\0')
        ++end;
    return QString::fromLatin1(bytes, end).trimmed();
}

// The fraction ("25/1") or the decimal number ("025.000-ND") the text
// begins with, after blanks; 0 when it begins with neither. Read by hand,
// as the patterns ^\s*(\d+)\s*/\s*(\d+) and ^\s*(\d+(\.\d+)?) would read
// it: the frame rate is read for every file of a day.
double LeadingRate(const QString& text)
{
    const auto blank = [](QChar c) {
        return c == QLatin1Char(' ') || (c >= QLatin1Char('\t') && c <= QLatin1Char('\r'));
    };
    const auto digit = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); };
    const int n = text.size();
    auto skip = [&text, n](int at, const auto& kind) {
        while (at < n && kind(text.at(at)))
            ++at;
        return at;
    };
    const int first = skip(0, blank);
    int end = skip(first, digit);
    if (end == first)
        return 0;
    int at = skip(end, blank);
    if (at < n && text.at(at) == QLatin1Char('/')) {
        const int second = skip(at + 1, blank);
        const int secondEnd = skip(second, digit);
        if (secondEnd > second) {
            const double denominator = text.midRef(second, secondEnd - second).toDouble();
            return denominator > 0 ? text.midRef(first, end - first).toDouble() / denominator : 0;
        }
    }
    if (end + 1 < n && text.at(end) == QLatin1Char('.') && digit(text.at(end + 1)))
        end = skip(end + 1, digit);
    return text.midRef(first, end - first).toDouble();
}

} // namespace

bool QSoundFile::IsTemplateWithoutIndicator(int nTemplate)
{
    return nTemplate == 2 || nTemplate == 3 || nTemplate == 5;
}

QString QSoundFile::TakeText(const QString& takePrefix, const QString& take, int nTemplate)
{
    return IsTemplateWithoutIndicator(nTemplate) ? take : takePrefix + take;
}

BextDescription QSoundFile::Description() const
{
    return BextDescription(QByteArray::fromRawData(m_BextChunk.szDescription, BEXT_DESCRIPTION_SIZE));
}

bool QSoundFile::WriteBextDescription(const char* title, const BextDescription& description,
                                      const QString& trackKey)
{
    // A closed member of a loaded take: kept for the take's save.
    const bool deferred = !IsOpen() && IsLayoutSound();
    if (!deferred && !CheckWritable(title))
        return false;
    if (!HasBextChunk()) {
        MyQDebug("%s: no bext chunk in %s", title, qPrintable(m_czPath));
        return false;
    }
    // At most 255 text bytes, so byte 255 stays NUL, and never past the chunk.
    const int field = int(qMin<quint32>(BEXT_DESCRIPTION_SIZE, m_BextChunk.nSize));
    bool fits = false;
    QByteArray bytes = description.Compose(field - 1, trackKey, &fits);
    if (!fits) {
        SendUserMessage(QLatin1String(title),
                        QStringLiteral("Path:%1\nFile:%2\nThe description lines do not fit the "
                                       "bext chunk !\nNothing was written.")
                            .arg(FolderText(), FileNameText()));
        return false;
    }
    bytes.append(field - bytes.size(), '\0');
    if (deferred) {
        if (m_baPendingBext.isEmpty())
            m_baBextOnDisk = QByteArray(m_BextChunk.szDescription, field);
        CacheField("bext", BEXT_DESCRIPTION_OFFSET, bytes);
        m_baPendingBext = bytes;
        return true;
    }
    ClearPendingBext();
    return WriteChunkField(title, "bext", BEXT_DESCRIPTION_OFFSET, bytes);
}

bool QSoundFile::InsertInBextDescr(QString scene, QString takePrefix, QString take, int nTemplate,
                                   QString note, QString ubits, QString tape, int track,
                                   QString trackName)
{
    BextDescription description = Description();
    const QString trackKey = BextDescription::TrackKey(track < 0 ? 1 : track + 1);
    description.SetValue(QStringLiteral("aUBITS="), QLatin1Char('$') + ubits.left(kUbitsWidth));
    description.SetValue(QStringLiteral("aSCENE="), scene.left(kSceneWidth));
    description.SetValue(QStringLiteral("aTAKE="), TakeText(takePrefix, take, nTemplate).left(kTakeWidth));
    description.SetValue(QStringLiteral("aTAPE="), tape.left(kTapeWidth));
    description.SetValue(trackKey, trackName);
    description.SetValue(QStringLiteral("aNOTE="), note.left(kNoteWidth));
    return WriteBextDescription("Take save", description, trackKey);
}

bool QSoundFile::ReplaceBextLine(const char* title, const QString& key, const QString& value)
{
    BextDescription description = Description();
    description.SetValue(key, value);
    return WriteBextDescription(title, description, QString());
}

bool QSoundFile::InsertInBextDescrScene(QString scene, int nTemplate)
{
    Q_UNUSED(nTemplate)
    return ReplaceBextLine("Take save", QStringLiteral("aSCENE="),
                           scene.left(kSceneWidth));
}

bool QSoundFile::InsertInBextDescrTake(QString takePrefix, QString take, int nTemplate)
{
    return ReplaceBextLine("Take save", QStringLiteral("aTAKE="),
                           TakeText(takePrefix, take, nTemplate).left(kTakeWidth));
}

bool QSoundFile::InsertInBextDescrNote(QString note)
{
    return ReplaceBextLine("Take save", QStringLiteral("aNOTE="),
                           note.left(kNoteWidth));
}

bool QSoundFile::InsertInBextDescrUbits(QString ubits)
{
    return ReplaceBextLine("Take save", QStringLiteral("aUBITS="),
                           QLatin1Char('$') + ubits.left(kUbitsWidth));
}

bool QSoundFile::InsertInBextDescrTape(QString tape)
{
    return ReplaceBextLine("Take save", QStringLiteral("aTAPE="),
                           tape.left(kTapeWidth));
}

bool QSoundFile::InsertInBextDescrType(QString type)
{
    return ReplaceBextLine("Take save", QStringLiteral("aTYP="),
                           type.left(kTypeWidth));
}

bool QSoundFile::InsertInFilmNetFileName(QString name)
{
    const char* title = "Take save";
    if (!CheckWritable(title))
        return false;
    if (!HasFilmChunk()) {
        MyQDebug("%s: no film chunk in %s", title, qPrintable(m_czPath));
        return false;
    }
    QByteArray bytes = name.toLatin1().left(FILM_NET_FILE_NAME_SIZE - 1);
    bytes.append(QByteArray(FILM_NET_FILE_NAME_SIZE - bytes.size(), '\0'));
    return WriteChunkField(title, "film", FILM_NET_FILE_NAME_OFFSET, bytes);
}

QString QSoundFile::GetBextDescrValue(const QString& key) const
{
    if (!HasBextChunk())
        return QString();
    return BextDescription::ValueIn(QByteArray::fromRawData(m_BextChunk.szDescription, BEXT_DESCRIPTION_SIZE), key);
}

QString QSoundFile::GetBextScene() const { return GetBextDescrValue(QStringLiteral("aSCENE=")); }
QString QSoundFile::GetBextTake() const { return GetBextDescrValue(QStringLiteral("aTAKE=")); }
QString QSoundFile::GetBextTape() const { return GetBextDescrValue(QStringLiteral("aTAPE=")); }
QString QSoundFile::GetBextUbits() const { return GetBextDescrValue(QStringLiteral("aUBITS=$")); }
QString QSoundFile::GetBextNote() const { return GetBextDescrValue(QStringLiteral("aNOTE=")); }
QString QSoundFile::GetBextTag() const { return GetBextDescrValue(QStringLiteral("aTAG=")); }
QString QSoundFile::GetBextType() const { return GetBextDescrValue(QStringLiteral("aTYP=")); }
QString QSoundFile::GetBextSpeed() const { return GetBextDescrValue(QStringLiteral("aSPEED=")); }
QString QSoundFile::GetBextChannel() const { return GetBextDescrValue(QStringLiteral("aCHNL=")); }

QString QSoundFile::GetBextTrackName(int track) const
{
    return GetBextDescrValue(BextDescription::TrackKey(track));
}

QString QSoundFile::GetBextOriginator() const
{
    return FixedText(m_BextChunk.szOriginator, sizeof(m_BextChunk.szOriginator));
}

QString QSoundFile::GetBextOriginatorReference() const
{
    // Byte 5 of the recorder's reference is 0: keep the bytes after it.
    // Another maker's text ends at its first 0; what follows is not its.
    if (!IsRecorderReference(m_BextChunk.szOriginatorReference))
        return FixedText(m_BextChunk.szOriginatorReference, BEXT_ORIGINATOR_REFERENCE_SIZE);
    QByteArray bytes(m_BextChunk.szOriginatorReference, BEXT_ORIGINATOR_REFERENCE_SIZE);
    return QString::fromLatin1(bytes.replace('\0', ' ')).trimmed();
}

QString QSoundFile::GetBextOriginationDate() const
{
    return FixedText(m_BextChunk.szOriginationDate, sizeof(m_BextChunk.szOriginationDate));
}

QString QSoundFile::GetBextOriginationTime() const
{
    return FixedText(m_BextChunk.szOriginationTime, sizeof(m_BextChunk.szOriginationTime));
}

quint64 QSoundFile::GetBextTimeReference() const
{
    return (quint64(m_BextChunk.nTimeReferenceHigh) << 32) | m_BextChunk.nTimeReferenceLow;
}

QString QSoundFile::GetFilmNetFileName() const
{
    if (!HasFilmChunk())
        return QString();
    return FixedText(reinterpret_cast<const char*>(m_FilmChunk.pPayload) + FILM_NET_FILE_NAME_OFFSET,
                     FILM_NET_FILE_NAME_SIZE);
}

int QSoundFile::GetFrameRate() const
{
    // "025.000-ND", "029.970-DF": the nominal rate is the rounded number.
    QString speed = GetBextSpeed();
    if (speed.isEmpty() && XmlOk())
        speed = GetText({QStringLiteral("SPEED"), QStringLiteral("TIMECODE_RATE")});
    const double rate = LeadingRate(speed);
    // The range first: a damaged speed ("2510222451") does not fit an int.
    if (!(rate >= 0.5 && rate < 120.5))
        return 0;
    return int(rate + 0.5);
}
