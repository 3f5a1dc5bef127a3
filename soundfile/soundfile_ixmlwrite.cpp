// iXML setters (in memory) and new documents of QSoundFile.
#include "soundfile/soundfile.h"

#include "foundation/filekey.h"
#include "soundfile/bextdescription.h"
#include "soundfile/ixmlnames.h"

#include <algorithm>

using namespace IxmlNames;

namespace {

constexpr int kSlots = 24;
constexpr unsigned int kMaxSyncPoints = 10;
// The "keep this field" marker of the several-takes editor.
const QString kKeepField = QStringLiteral("<");

// Puts element in place of parent's first child named like it, or appends it.
void ReplaceOrAppend(QDomElement parent, const QDomElement& element)
{
    const QDomElement old = parent.firstChildElement(element.tagName());
    if (old.isNull())
        parent.appendChild(element);
    else
        parent.replaceChild(element, old);
}

} // namespace

void QSoundFile::NewDocumentFromChunks(bool poly, int track)
{
    const BextDescription description = Description();
    const QString scene = description.Value(QStringLiteral("aSCENE="));
    const QString take = description.Value(QStringLiteral("aTAKE="));
    const int slot = track < 0 ? 0 : track;

    // A take holds at most kSlots tracks. A header claiming more channels is
    // damaged or foreign: its document would list up to 65,535 entries, with
    // the time and memory that costs, and describe tracks nothing can reach.
    if (poly && m_FmtChunk.nChannels > kSlots) {
        ClearDocument();
        return;
    }

    NewDocument(kRoot);
    m_bDocumentFromChunk = false;
    QDomElement root = Root();
    SetChildText(root, kVersion, QStringLiteral("2.10"));
    SetChildText(root, kScene, scene);
    SetChildText(root, kTake, take);
    SetChildText(root, kTape, description.Value(QStringLiteral("aTAPE=")));
    SetChildText(root, kUbits, description.Value(QStringLiteral("aUBITS=$")));
    SetChildText(root, kNote, description.Value(QStringLiteral("aNOTE=")));
    SetChildText(root, kCircled, QStringLiteral("FALSE"));
    SetChildText(root, kTakeType, QStringLiteral("DEFAULT"));

    QDomElement fileSet = GetElement({kFileSet}, true);
    SetChildText(fileSet, kTotalFiles, QStringLiteral("1"));
    SetChildText(fileSet, kFamilyName, scene + QLatin1Char('/') + take);

    const int tracks = poly ? qMax<int>(1, m_FmtChunk.nChannels) : 1;
    QDomElement list = GetElement({kTrackList}, true);
    SetChildText(list, kTrackCount, QString::number(tracks));
    for (int c = 0; c < tracks; ++c) {
        QDomElement entry = Document().createElement(kTrack);
        list.appendChild(entry);
        const int channelIndex = poly ? c + 1 : slot + 1;
        SetChildText(entry, kChannelIndex, QString::number(channelIndex));
        SetChildText(entry, kInterleaveIndex, QString::number(c + 1));
        SetChildText(entry, kName, description.Value(BextDescription::TrackKey(channelIndex)));
        SetChildText(entry, kFunction, QString());
    }

    // The maker block of a new document: a template, and the 24 track
    // entries with the file's own tracks armed and named, so that reports,
    // the take list and the strip show them as recorded tracks.
    QDomElement block = OrvexBlock(true);
    SetChildText(block, kScTkTemplate, QStringLiteral("0"));
    QDomElement entries[kSlots];
    AllTrackEntries(entries);
    for (int c = 0; c < tracks; ++c) {
        const int own = poly ? c : slot;
        if (own < 0 || own >= kSlots)
            continue;
        QDomElement& data = entries[own];
        SetChildText(data, kName, description.Value(BextDescription::TrackKey(own + 1)));
        SetChildText(data, kActive, QStringLiteral("YES"));
        SetChildText(data, kPanPot, QStringLiteral("100,100"));
    }

    // Every new document carries a fresh key of this file's audio.
    SetChildText(block, kFileKey,
                 MakeFileKey(m_nDeclaredDataSize, m_FmtChunk.nSampleRate, m_FmtChunk.nBitsPerSample,
                             m_FmtChunk.nChannels));
}

bool QSoundFile::DeferEdit(const QStringList& key, std::function<void(QSoundFile&)> apply)
{
    if (!IsAdoptedPending())
        return false;
    // Each part after its length (two units of fixed width): no text can
    // make two series look alike.
    QString& edits = m_Adopted.czEdits;
    for (const QString& part : key) {
        edits += QChar(ushort(uint(part.size()) >> 16));
        edits += QChar(ushort(part.size()));
        edits += part;
    }
    edits += QLatin1Char(';');
    m_Adopted.lEdits.append({false, std::move(apply)});
    return true;
}

bool QSoundFile::DeferEntryEdit(const QString& tag, const QString& text, std::function<void(QSoundFile&)> apply)
{
    if (!IsAdoptedPending())
        return false;
    if (m_Adopted.lEntry.isEmpty()
        && !ReadTrackEntryElements(m_Adopted.baOwnText, m_Adopted.nEntryBegin, &m_Adopted.lEntry))
        return false;
    // The setter sets the entry's first such element; a missing one would
    // be created, which only the document can do.
    for (QPair<QString, QString>& element : m_Adopted.lEntry) {
        if (element.first == tag) {
            element.second = text;
            m_Adopted.lEdits.append({true, std::move(apply)});
            return true;
        }
    }
    return false;
}

void QSoundFile::DocumentBuilt()
{
    // The edits kept while the document was not built, in their order.
    QList<tyAdoptedEdit> edits;
    edits.swap(m_Adopted.lEdits);
    for (const tyAdoptedEdit& edit : edits)
        edit.apply(*this);
}

bool QSoundFile::AdoptedSaveText(tyAdoptedSaveModels* models, QByteArray* text) const
{
    if (!IsAdoptedPending())
        return false;
    QList<QPair<QString, QString>> entry = m_Adopted.lEntry;
    if (entry.isEmpty() && !ReadTrackEntryElements(m_Adopted.baOwnText, m_Adopted.nEntryBegin, &entry))
        return false;
    tyAdoptedSaveModels::tyModel* model = nullptr;
    for (tyAdoptedSaveModels::tyModel& known : models->lModels) {
        if (known.czEdits == m_Adopted.czEdits && known.baTwinText == m_Adopted.baTwinText)
            model = &known;
    }
    if (!model) {
        // This file's text equals the twin's outside the entry, and its
        // edits outside the entry are these: the twin's document with the
        // same edits is this document outside the entry.
        tyAdoptedSaveModels::tyModel built;
        built.baTwinText = m_Adopted.baTwinText;
        built.czEdits = m_Adopted.czEdits;
        auto shadow = std::make_shared<QSoundFile>();
        // Indexed: edits that set texts only leave it unbuilt.
        if (shadow->SetContentIndexed(m_Adopted.baTwinText) && shadow->RootTag() == kRoot) {
            for (const tyAdoptedEdit& edit : m_Adopted.lEdits) {
                if (!edit.bEntry)
                    edit.apply(*shadow);
            }
            built.baText = shadow->ToText();
            built.shadow = shadow;
        }
        models->lModels.append(built);
        model = &models->lModels.last();
    }
    return model->shadow
           && model->shadow->SpliceLeafTexts(model->baText, {kTrackList, kTrack}, entry, text, &model->entryPlace);
}

bool QSoundFile::EnsureDocument(int track)
{
    if (!XmlOk())
        NewDocumentFromChunks(m_FmtChunk.nChannels > 1, track);
    return XmlOk();
}

QDomElement QSoundFile::OrvexBlock(bool create)
{
    return GetElement({kOrvex}, create);
}

bool QSoundFile::SetRootText(int track, const QString& tag, const QString& text)
{
    if (DeferEdit({QStringLiteral("root"), tag, text},
                  [=](QSoundFile& file) { file.SetRootText(track, tag, text); }))
        return true;
    // A file whose iXML is missing or unreadable gets its new document now,
    // so that the edit is made to it rather than lost when a save builds it.
    return EnsureDocument(track) && SetText({tag}, text);
}

void QSoundFile::CreateNewiXMLchunkPoly()
{
    NewDocumentFromChunks(true, 0);
}

QString QSoundFile::GenerateiXMLChunkPoly(int track)
{
    EnsureDocument(track);
    return QString::fromUtf8(ToText());
}

QString QSoundFile::GenerateiXMLChunkMono(int track)
{
    // A loaded document keeps the edits made to it; only a missing one is built.
    if (!XmlOk())
        NewDocumentFromChunks(m_FmtChunk.nChannels > 1, track);
    return QString::fromUtf8(ToText());
}

bool QSoundFile::SetiXMLScene(int track, QString scene, int nTemplate, bool multi,
                              QList<int> fieldCodes, QStringList fieldTexts)
{
    QStringList key = {QStringLiteral("scene"), scene, QString::number(nTemplate), QString::number(multi)};
    for (const int code : fieldCodes)
        key << QString::number(code);
    key << fieldTexts;
    const bool withFields = (nTemplate == 4 || nTemplate == 5) && !fieldCodes.isEmpty()
                          && fieldCodes.size() == fieldTexts.size();
    if (DeferEdit(key, [=](QSoundFile& file) { file.SetiXMLScene(track, scene, nTemplate, multi, fieldCodes, fieldTexts); }))
        return true;
    if (!SetRootText(track, kScene, scene.trimmed()))
        return false;
    if (nTemplate == -1)
        return true;
    SetText({kOrvex, kScTkTemplate}, QString::number(nTemplate));
    if (!withFields)
        return true;
    QDomElement block = OrvexBlock(true);

    // The child order is the composition; in multi mode the keep marker
    // leaves a field's current text.
    const QHash<int, QString> current = GetiXMLAdvancedScTkFields();
    QDomElement advanced = Document().createElement(kScTkAdvanced);
    int separators = 0;
    for (int i = 0; i < fieldCodes.size(); ++i) {
        const int code = fieldCodes.at(i);
        if (code > 6)
            continue;
        const QString tag = code >= 1 ? AdvancedFieldTag(code)
                                      : QStringLiteral("SEP%1").arg(++separators);
        int key = code >= 1 ? code : 1 - separators;
        QString text = fieldTexts.at(i);
        if (multi && text == kKeepField)
            text = current.value(key);
        SetChildText(advanced, tag, text);
    }
    const QDomElement old = block.firstChildElement(kScTkAdvanced);
    if (old.isNull())
        block.insertAfter(advanced, block.firstChildElement(kScTkTemplate));
    else
        block.replaceChild(advanced, old);
    return true;
}

bool QSoundFile::SetiXMLTake(int track, QString takePrefix, QString take, int nTemplate)
{
    if (DeferEdit({QStringLiteral("take"), takePrefix, take, QString::number(nTemplate)},
                  [=](QSoundFile& file) { file.SetiXMLTake(track, takePrefix, take, nTemplate); }))
        return true;
    if (!EnsureDocument(track))
        return false;
    if (nTemplate != -1)
        SetText({kOrvex, kScTkTemplate}, QString::number(nTemplate));
    SetText({kTake}, TakeText(takePrefix.trimmed(), take.trimmed(), nTemplate));
    const QString takeType = TakeTypeOfLetter(takePrefix.trimmed());
    if (!takeType.isEmpty())
        SetText({kTakeType}, takeType);
    return true;
}

bool QSoundFile::SetiXMLNote(int track, QString note) { return SetRootText(track, kNote, note.trimmed()); }
bool QSoundFile::SetiXMLUbits(int track, QString ubits) { return SetRootText(track, kUbits, ubits.trimmed()); }
bool QSoundFile::SetiXMLTape(int track, QString tape) { return SetRootText(track, kTape, tape.trimmed()); }
bool QSoundFile::SetiXMLCircled(int track, QString circled)
{
    return SetRootText(track, kCircled, circled.trimmed());
}

bool QSoundFile::SetiXMLFamilyName(int track, bool poly, QString scene, QString takePrefix,
                                   QString take, int nTemplate)
{
    Q_UNUSED(poly)
    const QString family = scene.trimmed() + QLatin1Char('/') + TakeText(takePrefix, take, nTemplate).trimmed();
    if (DeferEdit({QStringLiteral("family"), scene, takePrefix, take, QString::number(nTemplate)},
                  [=](QSoundFile& file) { file.SetiXMLFamilyName(track, poly, scene, takePrefix, take, nTemplate); }))
        return true;
    return EnsureDocument(track) && SetText({kFileSet, kFamilyName}, family);
}

bool QSoundFile::SetPolyTrackChild(int track, const QString& tag, const QString& text)
{
    EnsureDocument(track);
    // The loader names a track from the entry of the channel that holds it,
    // the entries read by INTERLEAVE_INDEX and a damaged or foreign list's
    // repeated or impossible CHANNEL_INDEX settled by PolyChannelTracks: the
    // text goes to the same entry, so what is shown is what is saved. Where
    // channels share a track, each of their entries gets it.
    const int channels = qMin<int>(m_FmtChunk.nChannels, 24);
    const QVector<int> tracks = PolyChannelTracks(GetiXMLPolyTrackTable(0, channels), GetiXMLOrvexTrackTable());
    bool set = false;
    for (int c = 0; c < tracks.size(); ++c) {
        if (tracks.at(c) != track)
            continue;
        QDomElement entry = TrackByChild(kInterleaveIndex, c + 1);
        set = (!entry.isNull() && !SetChildText(entry, tag, text).isNull()) || set;
    }
    return set;
}

bool QSoundFile::SetiXMLPolyTrackName(int channel, QString name)
{
    return SetPolyTrackChild(channel, kName, name);
}

bool QSoundFile::SetiXMLPolyTrackFunction(int channel, QString function)
{
    return SetPolyTrackChild(channel, kFunction, function);
}

bool QSoundFile::SetiXMLPolyTrackOriginalIndex(int channel, int slot)
{
    EnsureDocument(slot);
    QDomElement track = TrackByChild(kInterleaveIndex, channel + 1);
    return !track.isNull() && !SetChildText(track, kChannelIndex, QString::number(slot + 1)).isNull();
}

bool QSoundFile::SetiXMLMonoTrackName(int track, QString name)
{
    if (DeferEntryEdit(kName, name, [=](QSoundFile& file) { file.SetiXMLMonoTrackName(track, name); })) {
        m_Adopted.czName = name;
        return true;
    }
    if (!XmlOk())
        NewDocumentFromChunks(false, track);
    return SetText({kTrackList, kTrack, kName}, name);
}

bool QSoundFile::SetiXMLMonoTrackNumber(int track, int number)
{
    if (DeferEntryEdit(kChannelIndex, QString::number(number),
                       [=](QSoundFile& file) { file.SetiXMLMonoTrackNumber(track, number); })) {
        m_Adopted.nTrack = number >= 1 ? number - 1 : -1;
        return true;
    }
    if (!XmlOk())
        NewDocumentFromChunks(false, track);
    return SetText({kTrackList, kTrack, kChannelIndex}, QString::number(number));
}

bool QSoundFile::SetiXMLTotalFiles(int track, int total, bool poly)
{
    Q_UNUSED(poly)
    if (DeferEdit({QStringLiteral("total"), QString::number(total)},
                  [=](QSoundFile& file) { file.SetiXMLTotalFiles(track, total, poly); }))
        return true;
    if (!XmlOk())
        NewDocumentFromChunks(false, track);
    return SetText({kFileSet, kTotalFiles}, QString::number(total));
}

QDomElement QSoundFile::AllTrackEntries(QDomElement* bySlot)
{
    // One pass over the entries: each slot's is the first whose index reads
    // as the slot's number, as FindChildByValue would find it.
    QDomElement all = GetElement({kOrvex, kAllTrkName}, true);
    QDomElement found[kSlots];
    for (QDomElement data = all.firstChildElement(kData); !data.isNull(); data = data.nextSiblingElement(kData)) {
        const QString index = data.firstChildElement(kIndice).text().trimmed();
        bool number = false;
        const int slot = index.toInt(&number);
        if (number && slot >= 0 && slot < kSlots && found[slot].isNull() && QString::number(slot) == index)
            found[slot] = data;
    }
    for (int i = 0; i < kSlots; ++i) {
        if (found[i].isNull()) {
            found[i] = Document().createElement(kData);
            all.appendChild(found[i]);
            SetChildText(found[i], kIndice, QString::number(i));
            SetChildText(found[i], kActive, QStringLiteral("NO"));
        }
        if (bySlot)
            bySlot[i] = found[i];
    }
    return all;
}

bool QSoundFile::SetiXMLOrvexAllTrkInfos(QString* names, QString* panPots, QString* actives,
                                         QString* inGrids)
{
    if (!XmlOk() || !names || !panPots || !actives || !inGrids)
        return false;
    QDomElement entries[kSlots];
    AllTrackEntries(entries);
    for (int i = 0; i < kSlots; ++i) {
        QDomElement& data = entries[i];
        // The text goes in as given: "DISARMED" must reach the take list.
        SetChildText(data, kActive, actives[i]);
        if (actives[i].compare(QLatin1String("NO"), Qt::CaseInsensitive) == 0)
            continue;
        SetChildText(data, kName, names[i]);
        SetChildText(data, kInGrid, inGrids[i]);
        SetChildText(data, kPanPot, panPots[i]);
    }
    return true;
}

bool QSoundFile::SetSlotChildText(int slot, const QString& tag, const QString& text)
{
    QDomElement entries[kSlots];
    AllTrackEntries(entries);
    return !SetChildText(entries[slot], tag, text).isNull();
}

bool QSoundFile::SetiXMLOrvexTrackActive(int slot, QString active)
{
    if (!XmlOk() || slot < 0 || slot >= kSlots)
        return false;
    if (DeferEdit({QStringLiteral("slot active"), QString::number(slot), active},
                  [=](QSoundFile& file) { file.SetiXMLOrvexTrackActive(slot, active); }))
        return true;
    return SetSlotChildText(slot, kActive, active);
}

bool QSoundFile::SetiXMLOrvexTrackname(int slot, QString name)
{
    if (!XmlOk() || slot < 0 || slot >= kSlots)
        return false;
    if (DeferEdit({QStringLiteral("slot name"), QString::number(slot), name},
                  [=](QSoundFile& file) { file.SetiXMLOrvexTrackname(slot, name); }))
        return true;
    return SetSlotChildText(slot, kName, name);
}

namespace {

// The element's content is exactly this text: setting it again would leave
// the document as it is.
bool HoldsText(const QDomElement& element, const QString& text)
{
    const QDomNode only = element.firstChild();
    return !element.isNull() && only.nodeType() == QDomNode::TextNode && only == element.lastChild()
           && only.toText().data() == text;
}

// Every slot has its entry and each name to set is already its entry's,
// read as an indexed document answers. An empty name answers false: an
// empty element and one holding an empty text read alike but are written
// differently.
template <typename Element>
bool OrvexNamesHeld(const Element& root, const QString* names, bool skipEmpty)
{
    const Element all = QXmlObject::Below(root, {kOrvex, kAllTrkName});
    for (int slot = 0; slot < kSlots; ++slot) {
        const Element data = QXmlObject::FindChildByValue(all, kData, kIndice, QString::number(slot));
        if (data.isNull())
            return false;
        if (skipEmpty && names[slot].isEmpty())
            continue;
        const Element name = data.firstChildElement(kName);
        if (names[slot].isEmpty() || name.isNull() || !name.firstChildElement().isNull()
            || name.text() != names[slot])
            return false;
    }
    return true;
}

} // namespace

bool QSoundFile::OrvexTracknamesHeld(const QString* names, bool skipEmpty, bool twinHolds) const
{
    if (!XmlOk() || !names)
        return false;
    if (skipEmpty && std::all_of(names, names + kSlots, [](const QString& name) { return name.isEmpty(); }))
        return true;
    if (IsAdoptedPending())
        return AnswersFromScan() && twinHolds;
    if (IsIndexed())
        return Read([&](const auto& root) { return OrvexNamesHeld(root, names, skipEmpty); });
    if (IsDeferred())
        return false;
    const QDomElement all = FindElement({kOrvex, kAllTrkName});
    for (int slot = 0; slot < kSlots; ++slot) {
        const QDomElement data = FindChildByValue(all, kData, kIndice, QString::number(slot));
        if (data.isNull())
            return false;
        if (!(skipEmpty && names[slot].isEmpty()) && !HoldsText(data.firstChildElement(kName), names[slot]))
            return false;
    }
    return true;
}

bool QSoundFile::SetiXMLOrvexTracknames(const QString* names, bool skipEmpty)
{
    if (!XmlOk() || !names)
        return false;
    // Nothing to set: the document stays as it is (no entries made).
    if (skipEmpty && std::all_of(names, names + kSlots, [](const QString& name) { return name.isEmpty(); }))
        return true;
    if (IsAdoptedPending()) {
        // Kept one by one, as the adopting twin's edits are compared.
        for (int slot = 0; slot < kSlots; ++slot)
            if (!(skipEmpty && names[slot].isEmpty()))
                SetiXMLOrvexTrackname(slot, names[slot]);
        return true;
    }
    // Names applied again unchanged leave an unbuilt document unbuilt.
    if (OrvexTracknamesHeld(names, skipEmpty))
        return true;
    QDomElement entries[kSlots];
    AllTrackEntries(entries);
    for (int slot = 0; slot < kSlots; ++slot) {
        if ((skipEmpty && names[slot].isEmpty()) || HoldsText(entries[slot].firstChildElement(kName), names[slot]))
            continue;
        SetChildText(entries[slot], kName, names[slot]);
    }
    return true;
}

bool QSoundFile::SetiXMLSyncPoint(int track, unsigned int slateCount, unsigned int* slatePositions,
                                  QStringList slateComments, unsigned int markerCount,
                                  unsigned int* markerPositions, QStringList markerComments)
{
    Q_UNUSED(track)
    if (!XmlOk())
        return false;
    const unsigned int slates = slatePositions ? qMin(slateCount, kMaxSyncPoints) : 0;
    const unsigned int markers = markerPositions ? qMin(markerCount, kMaxSyncPoints) : 0;
    QDomElement list = Document().createElement(kSyncPointList);
    SetChildText(list, kSyncPointCount, QString::number(slates + markers));
    auto addPoint = [&](const char* function, unsigned int position, const QString& comment) {
        QDomElement point = Document().createElement(kSyncPoint);
        list.appendChild(point);
        SetChildText(point, kSyncPointType, QStringLiteral("RELATIVE"));
        SetChildText(point, kSyncPointFunction, QLatin1String(function));
        SetChildText(point, kSyncPointComment, comment);
        SetChildText(point, kSyncPointLow, QString::number(position));
        SetChildText(point, kSyncPointHigh, QStringLiteral("0"));
        SetChildText(point, kSyncPointDuration, QStringLiteral("0"));
    };
    for (unsigned int i = 0; i < slates; ++i)
        addPoint("SLATE_GENERIC", slatePositions[i], slateComments.value(int(i)));
    for (unsigned int i = 0; i < markers; ++i)
        addPoint("MARKER_GENERIC", markerPositions[i], markerComments.value(int(i)));
    ReplaceOrAppend(Root(), list);
    return true;
}

bool QSoundFile::SetiXMLOrvexRefLevel(QString level)
{
    return XmlOk() && SetText({kOrvex, kRefLevel}, level);
}

bool QSoundFile::SetiXMLInputSettings(QDomNode* node)
{
    if (!XmlOk() || !node || !node->isElement())
        return false;
    QDomElement settings = Document().importNode(*node, true).toElement();
    settings.setTagName(kInputSettings);
    ReplaceOrAppend(OrvexBlock(true), settings);
    return true;
}
