// iXML parse and getters of QSoundFile.
#include "soundfile/soundfile.h"

#include "soundfile/ixmlnames.h"
#include "soundfile/ixmltwin.h"

#include <algorithm>

using namespace IxmlNames;

namespace {

bool FlagText(const QString& text)
{
    const QString value = text.trimmed().toUpper();
    return value == QLatin1String("1") || value == QLatin1String("TRUE")
           || value == QLatin1String("YES") || value == QLatin1String("ON");
}

// The value of a text of at most nine ASCII digits, as toInt reads it but
// without its conversions (a load reads dozens of indexes); -1 for any
// other text.
template <typename Text>
int DigitsValue(const Text& text)
{
    if (text.isEmpty() || text.size() > 9)
        return -1;
    int value = 0;
    for (int i = 0; i < text.size(); ++i) {
        const ushort u = text.at(i).unicode();
        if (u < '0' || u > '9')
            return -1;
        value = value * 10 + (u - '0');
    }
    return value;
}

// The index a trimmed text names when it reads back as the number written
// ("7"; not "07", "+7" or "7a"), else -1. Table rows count from 0, so no
// negative index is ever asked for.
template <typename Text>
int IndexOfText(const Text& text)
{
    const Text trimmed = text.trimmed();
    const int value = DigitsValue(trimmed);
    return value >= 0 && (trimmed.size() == 1 || trimmed.at(0) != QLatin1Char('0')) ? value : -1;
}

// The index an element's text names, as IndexOfText reads it; a loaded
// file's element is read in place.
int IndexOf(const QDomElement& element) { return IndexOfText(element.text()); }
int IndexOf(const XmlScanElement& element)
{
    QLatin1String text;
    return element.LeafText(&text) ? IndexOfText(text) : IndexOfText(element.text());
}

int IntOr(const QString& text, int fallback)
{
    const int digits = DigitsValue(text);
    if (digits >= 0)
        return digits;
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? value : fallback;
}

constexpr unsigned int kMaxSyncPoints = 10;

} // namespace

bool QSoundFile::GetiXMLFileInfos()
{
    m_nTwinScanState = 0;
    m_Adopted = tyAdopted();
    m_bUnreadableiXML = false;
    if (m_baiXMLText.isEmpty()) {
        // A file that has no iXML chunk yet keeps the document built for it
        // in memory (a new file being filled before its first chunk write).
        if (XmlOk() && !m_bDocumentFromChunk && RootTag() == kRoot) {
            m_czErrorText.clear();
            return true;
        }
        ClearDocument();
        m_bDocumentFromChunk = false;
        m_czErrorText = QStringLiteral("No iXML chunk !");
        return false;
    }
    ClearDocument();
    m_bDocumentFromChunk = false;
    // A loaded file is mostly read, never changed: its DOM waits for a use.
    if (!SetContentIndexed(m_baiXMLText)) {
        m_czErrorText = LastXmlError();
        m_bUnreadableiXML = true;
        return false;
    }
    if (RootTag() != kRoot) {
        ClearDocument();
        m_bUnreadableiXML = true;
        m_czErrorText = QStringLiteral("No <BWFXML> tag !");
        return false;
    }
    m_czErrorText.clear();
    m_bDocumentFromChunk = true;
    return true;
}

bool QSoundFile::AdoptiXMLOfTwin(const QSoundFile& twin)
{
    if (!twin.IsDocumentFromChunk() || twin.IsAdoptedPending() || m_baiXMLText.isEmpty())
        return false;
    auto trackOf = [](const tyTrackEntryScan& scan) {
        const int index = scan.bHasChannelIndex ? IntOr(scan.czChannelIndex, 0) : 0;
        return index >= 1 ? index - 1 : -1;
    };
    auto nameOf = [](const tyTrackEntryScan& scan) {
        return scan.bHasName ? scan.czName : QStringLiteral(" ");
    };
    if (twin.m_nTwinScanState == 0) {
        // The twin's own entry read from its text must give what its parse
        // gave; otherwise the text holds something the scan does not follow.
        const bool usable = ScanTrackEntry(twin.m_baiXMLText, &twin.m_TwinScan)
                            && trackOf(twin.m_TwinScan) == twin.GetiXMLMonoTrackNumber()
                            && nameOf(twin.m_TwinScan) == twin.GetiXMLMonoTrackName();
        twin.m_nTwinScanState = usable ? 1 : -1;
        twin.m_TwinValues.bOrvex = twin.HasiXMLOrvexBlock();
        twin.m_TwinValues.czFileKey = twin.GetiXMLFileKey();
    }
    tyTrackEntryScan scan;
    if (twin.m_nTwinScanState < 0 || !ScanTwinTrackEntry(twin.m_baiXMLText, twin.m_TwinScan, m_baiXMLText, &scan))
        return false;
    m_Adopted = tyAdopted();
    m_Adopted.nTrack = trackOf(scan);
    m_Adopted.czName = nameOf(scan);
    m_Adopted.bOrvex = twin.m_TwinValues.bOrvex;
    m_Adopted.czFileKey = twin.m_TwinValues.czFileKey;
    m_Adopted.baTwinText = twin.m_baiXMLText;
    m_Adopted.baOwnText = m_baiXMLText;
    m_Adopted.nEntryBegin = scan.nBegin;
    SetContentDeferred(m_baiXMLText, twin.RootTag());
    m_czErrorText.clear();
    m_bDocumentFromChunk = true;
    return true;
}

namespace {

// The getters below read through QXmlObject::Read: the same code answers
// from the scan index of a loaded file and from a built document.
template <typename Element>
Element TrackOf(const Element& root, const QString& tag, int value)
{
    return QXmlObject::FindChildByValue(QXmlObject::Below(root, {kTrackList}), kTrack, tag, QString::number(value));
}

template <typename Element>
Element OrvexTrackOf(const Element& root, int slot)
{
    return QXmlObject::FindChildByValue(QXmlObject::Below(root, {kOrvex, kAllTrkName}), kData, kIndice,
                                        QString::number(slot));
}

template <typename Element>
QString TextOrBlankOf(const Element& element)
{
    return element.isNull() ? QStringLiteral(" ") : element.text();
}

} // namespace

QDomElement QSoundFile::TrackByChild(const QString& tag, int value) const
{
    return TrackOf(Root(), tag, value);
}

QString QSoundFile::TextOrBlank(const QString& tag) const
{
    return Read([&tag](const auto& root) { return TextOrBlankOf(Below(root, {tag})); });
}

QString QSoundFile::OrvexText(const QString& tag) const
{
    return GetText({kOrvex, tag});
}

QString QSoundFile::OrvexTrackText(int slot, const QString& tag) const
{
    return Read([slot, &tag](const auto& root) { return ChildText(OrvexTrackOf(root, slot), tag); });
}

int QSoundFile::GetiXMLMonoTrackNumber() const
{
    if (AnswersFromScan())
        return m_Adopted.nTrack;
    if (!XmlOk())
        return -1;
    const int index = IntOr(GetText({kTrackList, kTrack, kChannelIndex}), 0);
    return index >= 1 ? index - 1 : -1;
}

int QSoundFile::GetiXMLTotalFiles() const
{
    return IntOr(GetText({kFileSet, kTotalFiles}), 0);
}

QString QSoundFile::GetiXMLFamilyName() const
{
    return GetText({kFileSet, kFamilyName});
}

QString QSoundFile::GetiXMLMonoTrackFunction() const
{
    return GetText({kTrackList, kTrack, kFunction});
}

QString QSoundFile::GetiXMLMonoTrackName() const
{
    if (AnswersFromScan())
        return m_Adopted.czName;
    return Read([](const auto& root) { return TextOrBlankOf(Below(root, {kTrackList, kTrack, kName})); });
}

QString QSoundFile::GetiXMLPolyTrackName(int channel) const
{
    return GetiXMLPolyTrackTable(channel, 1).at(0).czName;
}

QString QSoundFile::GetiXMLPolyTrackFunction(int channel) const
{
    return GetiXMLPolyTrackTable(channel, 1).at(0).czFunction;
}

int QSoundFile::GetiXMLPolyTrackOriginalIndex(int channel) const
{
    return GetiXMLPolyTrackTable(channel, 1).at(0).nOriginalIndex;
}

QVector<QSoundFile::tyPolyTrack> QSoundFile::GetiXMLPolyTrackTable(int first, int count) const
{
    count = qMax(count, 0);
    QVector<tyPolyTrack> table(count);
    QVector<bool> found(count, false);
    Read([first, count, &table, &found](const auto& root) {
        const auto list = Below(root, {kTrackList});
        for (auto track = list.firstChildElement(kTrack); !track.isNull();
             track = track.nextSiblingElement(kTrack)) {
            // The text must read back as the channel number ("03" is none).
            const int number = IndexOf(track.firstChildElement(kInterleaveIndex));
            const qint64 row = qint64(number) - 1 - first;
            if (number < 0 || row < 0 || row >= count || found.at(int(row)))
                continue;
            found[int(row)] = true;
            const int slot = IntOr(ChildText(track, kChannelIndex), 0) - 1;
            // Callers index 24-entry tables with it: anything else is "none".
            table[int(row)] = {slot >= 0 && slot <= 23 ? slot : -1, ChildText(track, kName),
                               ChildText(track, kFunction), true};
        }
    });
    return table;
}

QVector<int> QSoundFile::PolyChannelTracks(const QVector<tyPolyTrack>& table, const QVector<tyOrvexTrack>& maker)
{
    constexpr int kTracks = 24;
    QVector<int> tracks(table.size(), -1);
    bool held[kTracks] = {};
    QVector<int> orphans;
    for (int c = 0; c < table.size(); ++c) {
        const int t = table.at(c).nOriginalIndex;
        if (t >= 0 && t < kTracks && !held[t]) {
            tracks[c] = t;
            held[t] = true;
        } else if (table.at(c).bListed) {
            orphans << c;
        }
    }
    if (orphans.isEmpty())
        return tracks;
    bool anyArming = false;
    QVector<int> missing;   // armed, held by no channel, ascending
    for (int t = 0; t < kTracks && t < maker.size(); ++t) {
        const QString active = maker.at(t).czActive.trimmed();
        anyArming = anyArming || !active.isEmpty();
        if (!held[t] && active.compare(QLatin1String("YES"), Qt::CaseInsensitive) == 0)
            missing << t;
    }
    for (const int c : orphans) {
        int t = -1;
        if (anyArming) {
            if (!missing.isEmpty())
                t = missing.takeFirst();
        } else {
            t = c < kTracks && !held[c] ? c : int(std::find(held, held + kTracks, false) - held);
        }
        if (t >= 0 && t < kTracks) {
            tracks[c] = t;
            held[t] = true;
        } else {
            tracks[c] = table.at(c).nOriginalIndex;
        }
    }
    return tracks;
}

int QSoundFile::GetiXMLTrackCount() const
{
    return Read([](const auto& root) {
        const auto list = Below(root, {kTrackList});
        int count = IntOr(ChildText(list, kTrackCount), -1);
        if (count < 0) {
            count = 0;
            for (auto t = list.firstChildElement(kTrack); !t.isNull(); t = t.nextSiblingElement(kTrack))
                ++count;
        }
        return count;
    });
}

QString QSoundFile::GetiXMLNotes() const { return TextOrBlank(kNote); }
QString QSoundFile::GetiXMLCircled() const { return TextOrBlank(kCircled); }
QString QSoundFile::GetiXMLScene() const { return GetText({kScene}); }
QString QSoundFile::GetiXMLTake() const { return GetText({kTake}); }
QString QSoundFile::GetiXMLTape() const { return GetText({kTape}); }
QString QSoundFile::GetiXMLUbits() const { return GetText({kUbits}); }
QString QSoundFile::GetiXMLTakeType() const { return GetText({kTakeType}); }
QString QSoundFile::GetiXMLFileKey() const
{
    return AnswersFromScan() ? m_Adopted.czFileKey : OrvexText(kFileKey);
}
QString QSoundFile::GetiXMLOrvexRefLevel() const { return OrvexText(kRefLevel); }

bool QSoundFile::HasiXMLOrvexBlock() const
{
    if (AnswersFromScan())
        return m_Adopted.bOrvex;
    return HasElement({kOrvex});
}

QString QSoundFile::GetiXMLTakeIndicator() const
{
    if (IsTemplateWithoutIndicator(GetiXMLScTkTemplate()))
        return LetterOfTakeType(GetiXMLTakeType());
    const QString take = GetiXMLTake().trimmed();
    return !take.isEmpty() && take.at(0).isLetter() ? take.left(1) : QString();
}

QString QSoundFile::GetiXMLTakeNumber() const
{
    const QString take = GetiXMLTake().trimmed();
    if (IsTemplateWithoutIndicator(GetiXMLScTkTemplate()))
        return take;
    return !take.isEmpty() && take.at(0).isLetter() ? take.mid(1) : take;
}

QString QSoundFile::GetiXMLOrvexTracknames(int slot) const
{
    return OrvexTrackText(slot, kName);
}

QString QSoundFile::GetiXMLOrvexTrackPanPot(int slot) const
{
    return OrvexTrackText(slot, kPanPot);
}

QString QSoundFile::GetiXMLOrvexTrackActive(int slot) const
{
    return OrvexTrackText(slot, kActive);
}

QString QSoundFile::GetiXMLOrvexTrackInGrid(int slot) const
{
    return OrvexTrackText(slot, kInGrid);
}

QVector<QSoundFile::tyOrvexTrack> QSoundFile::GetiXMLOrvexTrackTable() const
{
    constexpr int kSlots = 24;
    QVector<tyOrvexTrack> table(kSlots);
    QVector<bool> found(kSlots, false);
    Read([&table, &found](const auto& root) {
        const auto block = Below(root, {kOrvex, kAllTrkName});
        for (auto data = block.firstChildElement(kData); !data.isNull(); data = data.nextSiblingElement(kData)) {
            // The text must read back as the slot number ("03" is no slot).
            const int slot = IndexOf(data.firstChildElement(kIndice));
            if (slot < 0 || slot >= kSlots || found.at(slot))
                continue;
            found[slot] = true;
            table[slot] = {ChildText(data, kName), ChildText(data, kPanPot), ChildText(data, kActive),
                           ChildText(data, kInGrid)};
        }
    });
    return table;
}

void QSoundFile::GetiXMLInputsSettings(QDomNode* node) const
{
    if (node && XmlOk())
        *node = FindElement({kOrvex, kInputSettings});
}

bool QSoundFile::GetiXMLOrvexInputSettings(QString name, tInputSettings* settings) const
{
    if (!settings)
        return false;
    *settings = tInputSettings();
    if (name.isEmpty())
        return false;
    return Read([&name, settings](const auto& root) {
        const auto input = Below(root, {kOrvex, kInputSettings, name});
        if (input.isNull())
            return false;
        settings->bPresent = true;
        settings->nDelay = IntOr(ChildText(input, kDelay), -1);
        settings->bPhaseReversed = FlagText(ChildText(input, kPhase));
        settings->bEqEnabled = FlagText(ChildText(input, kEq));
        settings->nFilter = IntOr(ChildText(input, kFilter), 0);
        return true;
    });
}

void QSoundFile::GetiXMLSyncPoint(unsigned int* slateCount, unsigned int* slatePositions,
                                  unsigned int* slateExtra, QStringList* slateComments,
                                  bool pullDown, unsigned int* markerCount,
                                  unsigned int* markerPositions, QStringList* markerComments,
                                  bool* autoSlate) const
{
    unsigned int slates = 0;
    unsigned int markers = 0;
    bool automatic = false;
    if (slateComments)
        slateComments->clear();
    if (markerComments)
        markerComments->clear();
    // Pull-down frames (23.976, 29.97) run 1/1000 slower than the nominal
    // rate: a second of samples holds fewer of them.
    // Only the frames of the slates need the frame rate, which a load does not ask for.
    const double fps = slateExtra ? GetFrameRate() : 0;
    const double rate = m_FmtChunk.nSampleRate * (pullDown ? 1.001 : 1.0);
    Read([&](const auto& root) {
        const auto list = Below(root, {kSyncPointList});
        for (auto point = list.firstChildElement(kSyncPoint); !point.isNull();
             point = point.nextSiblingElement(kSyncPoint)) {
            bool ok = false;
            const quint64 low = ChildText(point, kSyncPointLow).trimmed().toULongLong(&ok);
            // Positions are 32-bit sample counts.
            if (!ok || low > 0xFFFFFFFFu || IntOr(ChildText(point, kSyncPointHigh), 0) != 0)
                continue;
            const QString function = ChildText(point, kSyncPointFunction).trimmed().toUpper();
            const QString comment = ChildText(point, kSyncPointComment);
            if (function.startsWith(QLatin1String("SLATE")) && slates < kMaxSyncPoints) {
                if (slatePositions)
                    slatePositions[slates] = static_cast<unsigned int>(low);
                if (slateExtra) {
                    // A damaged rate can give more frames than 32 bits hold: saturate.
                    const double frames = rate > 0 && fps > 0 ? double(low) * fps / rate + 0.5 : 0;
                    slateExtra[slates] = frames >= 4294967295.0 ? 0xFFFFFFFFu
                                                                : static_cast<unsigned int>(frames);
                }
                if (slateComments)
                    slateComments->append(comment);
                automatic = automatic || comment.trimmed() == QLatin1String("AUTO");
                ++slates;
            } else if (function.startsWith(QLatin1String("MARKER")) && markers < kMaxSyncPoints) {
                if (markerPositions)
                    markerPositions[markers] = static_cast<unsigned int>(low);
                if (markerComments)
                    markerComments->append(comment);
                ++markers;
            }
        }
    });
    if (slateCount)
        *slateCount = slates;
    if (markerCount)
        *markerCount = markers;
    if (autoSlate)
        *autoSlate = automatic;
}

int QSoundFile::GetiXMLScTkTemplate() const
{
    return IntOr(OrvexText(kScTkTemplate), -1);
}

QList<QPair<int, QString>> QSoundFile::AdvancedFields() const
{
    QList<QPair<int, QString>> fields;
    Read([&fields](const auto& root) {
        const auto block = Below(root, {kOrvex, kScTkAdvanced});
        for (auto field = block.firstChildElement(); !field.isNull(); field = field.nextSiblingElement()) {
            int code = 0;
            if (AdvancedFieldCode(field.tagName(), &code))
                fields.append({code, field.text()});
        }
    });
    return fields;
}

QHash<int, QString> QSoundFile::GetiXMLAdvancedScTkFields() const
{
    QHash<int, QString> fields;
    for (const auto& field : AdvancedFields())
        fields.insert(field.first, field.second);
    return fields;
}

QString QSoundFile::GetiXMLAdvancedScTkComposition() const
{
    QStringList codes;
    for (const auto& field : AdvancedFields())
        codes.append(QString::number(qMax(field.first, 0)));
    return codes.join(QLatin1Char(','));
}

QStringList QSoundFile::GetiXMLAdvancedScTkFieldTexts() const
{
    QStringList texts;
    for (const auto& field : AdvancedFields())
        texts.append(field.second);
    return texts;
}
