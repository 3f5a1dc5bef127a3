// A mono family's members are read against the first file's parse: what
// they load must be what a full parse of each file gives, whatever differs.
#include "foundation/fileinfolist.h"
#include "foundation/messageloging.h"
#include "foundation/xmlscanindex.h"
#include "soundfile/filestatus.h"
#include "soundfile/keptheads.h"
#include "take/daylisting.h"
#include "take/soundperform.h"
#include "take/takefamily.h"
#include "tests/support/fixturevariants.h"
#include "tests/support/exfatvolume.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/riffbytes.h"
#include "tests/support/scratchdir.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

using namespace fixture;

namespace {

const QList<int> kSlots = {0, 1, 2, 3};

// Replaces the first occurrence of from after the anchor (in the iXML) with
// a text of the same length, so that the family keeps equal sizes.
bool PatchIxml(const QString& path, const QByteArray& anchor, const QByteArray& from, const QByteArray& to)
{
    QFile file(path);
    if (from.size() != to.size() || !file.open(QIODevice::ReadWrite))
        return false;
    QByteArray bytes = file.readAll();
    const int at = bytes.indexOf(from, bytes.indexOf(anchor));
    if (at < 0)
        return false;
    bytes.replace(at, from.size(), to);
    return file.seek(0) && file.write(bytes) == bytes.size();
}

// Rewrites a member's iXML text in place; the text is padded to blocks of
// kilobytes, so an edit that fits keeps the family's sizes equal.
bool EditIxml(const QString& path, const std::function<void(QByteArray*)>& change)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    QByteArray bytes = file.readAll();
    const int at = bytes.lastIndexOf("iXML");
    if (at < 0)
        return false;
    const int size = int(qFromLittleEndian<quint32>(bytes.constData() + at + 4));
    const QByteArray payload = bytes.mid(at + 8, size);
    QByteArray text = payload.left(XmlTextEnd(payload));
    change(&text);
    if (text.size() > size)
        return false;
    text.append(QByteArray(size - text.size(), ' '));
    bytes.replace(at + 8, size, text);
    return file.seek(0) && file.write(bytes) == bytes.size();
}

// The takes a folder lists by the listing's rule (ListDay, as the views
// list it), each with its files' paths.
QMap<QString, QStringList> ListedTakeFiles(const QString& folder)
{
    QVector<tyDayEntry> read;
    for (const QString& name : QDir(folder).entryList(QDir::Files, QDir::Name)) {
        read.append(tyDayEntry());
        read.last().czName = name;
        read.last().eKind = tyDayEntry::Kind::File;
    }
    const tyDayListing listing = ListDay(folder + QLatin1Char('/'), std::move(read), 2);
    QMap<QString, QStringList> takes;
    for (const tyDayEntry& entry : listing.entries) {
        if (entry.nJudged >= 0 && listing.judged.at(entry.nJudged).eKind != TakeNaming::FileKind::None)
            takes[listing.judged.at(entry.nJudged).czTake] << folder + QLatin1Char('/') + entry.czName;
    }
    return takes;
}

// Every value a load gives, and what the reports and editors read of the
// first file without changing it, one labelled line each.
QStringList LoadedValues(const QSoundPerform& take)
{
    QStringList v;
    auto add = [&v](const char* label, const QVariant& value) {
        v << QStringLiteral("%1=%2").arg(QLatin1String(label), value.toString());
    };
    add("status", take.m_nTakeStatus);
    add("ixml", take.m_bIxmlRead);
    for (const QString& text : {take.m_czIxmlScene, take.m_czIxmlNote, take.m_czCircled, take.m_czRefLevel,
                                take.m_czAdvTemplateCompo, take.m_czTakeIndicator, take.m_czTakeNumber,
                                take.m_czTake, take.m_czTakePrefix})
        add("take", text);
    add("template", take.m_nScTkTemplate);
    for (auto it = take.m_AdvTemplateFields.constBegin(); it != take.m_AdvTemplateFields.constEnd(); ++it)
        add("field", QStringLiteral("%1 %2").arg(it.key()).arg(it.value()));
    for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
        add("track", QStringList{take.m_czTrackName[t], take.m_czTrackActive[t], take.m_czTrackInGrid[t],
                                 take.m_czTrackPanPot[t], QString::number(take.m_pnChannelIndex[t]),
                                 QString::number(take.m_pnTrackMixRole[t]), QString::number(take.m_pbTrackXY[t])}
                         .join(QLatin1Char('|')));
    }
    for (int k = 0; k < QSoundPerform::kMaxPairs; ++k)
        add("ms", take.m_pbMSPair[k]);
    add("slates", take.m_nSlateCount);
    add("markers", take.m_nMarkerCount);
    add("auto", take.m_bAutoSlate);
    for (unsigned int i = 0; i < take.m_nSlateCount; ++i)
        add("slate", QStringLiteral("%1 %2").arg(take.m_pnSlatePos[i]).arg(take.m_pnSlateFrames[i]));
    for (unsigned int i = 0; i < take.m_nMarkerCount; ++i)
        add("marker", QStringLiteral("%1 %2").arg(take.m_pnMarkerPos[i]).arg(take.m_pnMarkerFrames[i]));
    const QSoundFile& first = take.m_SndFile[take.GetFirstTrack()];
    add("files", first.GetiXMLTotalFiles());
    add("family", first.GetiXMLFamilyName());
    add("tracks", first.GetiXMLTrackCount());
    add("function", first.GetiXMLMonoTrackFunction());
    add("key", first.GetiXMLFileKey());
    for (const QString& text : {first.GetiXMLTape(), first.GetiXMLUbits(), first.GetiXMLTakeType()})
        add("root", text);
    for (const char* input : {"MIC_1", "MIC_2", "LINE_1"}) {
        tInputSettings s;
        add(input, QStringList{QString::number(first.GetiXMLOrvexInputSettings(QLatin1String(input), &s)),
                               QString::number(s.nDelay), QString::number(s.bPhaseReversed),
                               QString::number(s.bEqEnabled), QString::number(s.nFilter)}
                       .join(QLatin1Char('|')));
    }
    return v;
}

struct Expected {
    int status = 0;
    int channel[24];
    QString name[24];
    QString inGrid[24];
    QString panPot[24];
};

// Each file read alone and parsed in full: the values the take must show.
Expected FullParse(const WrittenTake& written, const TakeSpec& spec)
{
    Expected e;
    for (int i = 0; i < written.files.size(); ++i) {
        const int slot = spec.tracks.at(i).slot;
        QSoundFile file;
        file.Open(written.files.at(i), 0);
        if (file.ReadChunks(false, true))
            file.GetiXMLFileInfos();
        const int status = ComputeFileStatus(file);
        if (e.status == 0)
            e.status = status;
        e.channel[slot] = file.GetiXMLMonoTrackNumber();
        e.name[slot] = file.GetiXMLMonoTrackName().trimmed();
        if (e.name[slot].isEmpty())
            e.name[slot] = file.GetiXMLOrvexTracknames(slot).trimmed();
        e.inGrid[slot] = file.GetiXMLOrvexTrackInGrid(slot);
        e.panPot[slot] = file.GetiXMLOrvexTrackPanPot(slot);
    }
    return e;
}

} // namespace

class TestFamilyLoad : public QObject
{
    Q_OBJECT

private slots:
    void membersLoadAsAFullParse_data()
    {
        QTest::addColumn<int>("member");
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<bool>("adopted");

        QTest::newRow("members alike") << 1 << QByteArray() << QByteArray() << true;
        QTest::newRow("own channel index") << 2 << QByteArray("<CHANNEL_INDEX>3<") << QByteArray("<CHANNEL_INDEX>9<")
                                           << true;
        QTest::newRow("note differs") << 2 << QByteArray("Plane") << QByteArray("Train") << false;
        QTest::newRow("routing differs") << 1 << QByteArray("MIC_2=0x1,") << QByteArray("MIC_2=0x3,") << false;
        QTest::newRow("wrong file key") << 3 << QByteArray("<FILE_KEY>") << QByteArray("<FILE_KEY>0") << false;
        QTest::newRow("no maker block") << 2 << QByteArray("ORVEX_BRISEL>") << QByteArray("ORVEX_BRISEX>") << false;
        QTest::newRow("broken document") << 3 << QByteArray("</BWFXML>") << QByteArray("</BWFXM>>") << false;
        QTest::newRow("entity in the own name") << 1 << QByteArray(">Trk2<") << QByteArray(">&lt;<") << false;
        QTest::newRow("blank own name") << 1 << QByteArray(">Trk2<") << QByteArray(">    <") << false;
        QTest::newRow("own name differs") << 1 << QByteArray(">Trk2<") << QByteArray(">Boom<") << true;
    }

    void membersLoadAsAFullParse()
    {
        QFETCH(int, member);
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(bool, adopted);

        QTemporaryDir dir;
        TakeSpec spec = MonoTake(QStringLiteral("FAM001"), kSlots);
        spec.note = QStringLiteral("Plane overhead");
        const WrittenTake written = WriteTake(dir.path(), spec);
        QCOMPARE(written.files.size(), kSlots.size());
        if (from == "<FILE_KEY>") {
            // One hex digit of the key changed: same length, wrong key.
            QFile file(written.files.at(member));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            const int at = bytes.indexOf(from) + from.size();
            from = bytes.mid(at - from.size(), from.size() + 1);
            to = from.left(from.size() - 1) + (bytes.at(at) == '0' ? "1" : "0");
        }
        // Names are patched in the file's own track entry, the rest anywhere.
        const QByteArray anchor = from.startsWith(">") ? "<TRACK>" : "<BWFXML";
        if (!from.isEmpty())
            QVERIFY(PatchIxml(written.files.at(member), anchor, from, to));
        const Expected expected = FullParse(written, spec);

        QSoundPerform take;
        QVERIFY(take.InitFilesZZ(dir.path() + QStringLiteral("/FAM001"), QStringLiteral("WAV")));
        QCOMPARE(int(take.m_nTakeStatus), expected.status);
        for (int slot : kSlots) {
            QCOMPARE(take.m_pnChannelIndex[slot], expected.channel[slot]);
            QCOMPARE(take.m_czTrackName[slot], expected.name[slot]);
            QCOMPARE(take.m_czTrackInGrid[slot], expected.inGrid[slot]);
            QCOMPARE(take.m_czTrackPanPot[slot], expected.panPot[slot]);
        }
        QCOMPARE(take.m_SndFile[member].IsDocumentAdopted(), adopted);
        // An adopted document is the file's own once built.
        if (adopted) {
            QSoundFile& file = take.m_SndFile[member];
            QCOMPARE(file.GetiXMLMonoTrackNumber(), expected.channel[member]);
            QCOMPARE(file.GetiXMLNotes(), QStringLiteral("Plane overhead"));
            QVERIFY(!file.IsDocumentAdopted());
            QCOMPARE(file.GetiXMLMonoTrackNumber(), expected.channel[member]);
            QCOMPARE(file.GetiXMLMonoTrackName().trimmed(), expected.name[member]);
        }
    }

    // The first member is read from its text without building its document
    // where the text is plain enough: whatever the text holds, the take must
    // load as from the parsed document.
    void firstMemberLoadsAsItsParse_data()
    {
        QTest::addColumn<int>("member");   // the member edited, -1 all
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<bool>("indexed");   // the first member's document not built by the load

        QTest::newRow("as written") << -1 << QByteArray() << QByteArray() << true;
        QTest::newRow("entity") << -1 << QByteArray("<SCENE>12A<") << QByteArray("<SCENE>12&amp;A<") << false;
        QTest::newRow("CDATA") << -1 << QByteArray("<NOTE>Plane") << QByteArray("<NOTE><![CDATA[Pl]]>ane") << false;
        QTest::newRow("comment in a value") << -1 << QByteArray("<SCENE>12A<") << QByteArray("<SCENE>12<!--x-->A<")
                                            << false;
        QTest::newRow("missing element") << -1 << QByteArray("<CIRCLED>FALSE</CIRCLED>") << QByteArray() << true;
        QTest::newRow("duplicated element") << -1 << QByteArray("<SCENE>12A</SCENE>")
                                            << QByteArray("<SCENE>99</SCENE><SCENE>12A</SCENE>") << true;
        QTest::newRow("duplicated slot entry")
            << -1 << QByteArray("<ORVEX_BRISEL>")
            << QByteArray("<ORVEX_BRISEL><ALL_TRK_NAME><DATA><INDICE>1</INDICE><NAME>Dup</NAME><ACTIVE>NO</ACTIVE>"
                          "</DATA></ALL_TRK_NAME><SCTK_TEMPLATE>2</SCTK_TEMPLATE>")
            << true;
        QTest::newRow("blank text") << -1 << QByteArray("<TAPE>T001<") << QByteArray("<TAPE>  <") << true;
        QTest::newRow("spaced text") << -1 << QByteArray("<UBITS>00000000<") << QByteArray("<UBITS>\t 00000000 <")
                                     << true;
        QTest::newRow("empty element") << -1 << QByteArray("<NOTE>Plane overhead</NOTE>") << QByteArray("<NOTE/>")
                                       << true;
        QTest::newRow("line ends") << -1 << QByteArray("\n") << QByteArray("\r\n") << true;
        QTest::newRow("wrong file key") << -1 << QByteArray("<FILE_KEY>") << QByteArray() << true;
        QTest::newRow("member differs outside its entry") << 2 << QByteArray("Plane") << QByteArray("Train") << true;
        QTest::newRow("first member differs") << 0 << QByteArray("Plane") << QByteArray("Train") << true;
        QTest::newRow("attribute") << -1 << QByteArray("<BWFXML>") << QByteArray("<BWFXML a=\"1\">") << false;
        QTest::newRow("broken document") << 0 << QByteArray("</BWFXML>") << QByteArray("</BWFXM>") << false;
        QTest::newRow("other root") << 0 << QByteArray("BWFXML>") << QByteArray("BWFXMX>") << false;
    }

    void firstMemberLoadsAsItsParse()
    {
        QFETCH(int, member);
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(bool, indexed);

        QTemporaryDir dir;
        TakeSpec spec = MonoTake(QStringLiteral("FAM001"), kSlots);
        spec.note = QStringLiteral("Plane overhead");
        spec.scTkTemplate = 4;
        spec.advanced = {{1, QStringLiteral("S1")}, {0, QStringLiteral("-")}, {2, QStringLiteral("12")}};
        spec.slates = {{48000, QStringLiteral("AUTO")}, {96000, QStringLiteral("clap")}};
        spec.markers = {{24000, QStringLiteral("plane")}};
        spec.tracks[1].inGrid = QStringLiteral("MIC_1=0x2,");
        spec.tracks[2].inGrid = QStringLiteral("MIC_2=0x3,");
        QStringList values[2];
        for (int copy = 0; copy < 2; ++copy) {
            const QString folder = dir.path() + QStringLiteral("/%1").arg(copy);
            const WrittenTake written = WriteTake(folder, spec);
            QCOMPARE(written.files.size(), kSlots.size());
            for (int i = 0; i < written.files.size(); ++i) {
                QVERIFY(EditIxml(written.files.at(i), [&](QByteArray* text) {
                    if (member < 0 || member == i) {
                        if (from == "<FILE_KEY>") {
                            // One hex digit of the key changed: a wrong key.
                            const int at = text->indexOf(from) + from.size();
                            (*text)[at] = text->at(at) == '0' ? '1' : '0';
                        } else if (!from.isEmpty()) {
                            QVERIFY(text->contains(from));
                            text->replace(from, to);
                        }
                    }
                    // The second copy's declaration is one only a parser reads.
                    if (copy == 1)
                        text->replace("encoding=\"UTF-8\"", "encoding='UTF-8'");
                }));
            }
            QSoundPerform take;
            QVERIFY(take.InitFilesZZ(folder + QStringLiteral("/FAM001"), QStringLiteral("WAV")));
            QCOMPARE(take.m_SndFile[0].IsIndexed(), copy == 0 && indexed);
            values[copy] = LoadedValues(take);
        }
        QCOMPARE(values[0], values[1]);
    }

    // Edits on adopted members are kept without building their documents,
    // and leaf texts set on the first member without building its own: the
    // save writes them from the texts, and the files must come out as when
    // every member's document is built and serialised.
    void adoptedEditsSaveAsBuiltDocuments_data()
    {
        QTest::addColumn<int>("edit");
        QTest::addColumn<bool>("fast");         // the members stay unbuilt up to the save
        QTest::addColumn<bool>("firstIndexed"); // and the first member's document too
        QTest::newRow("track names") << 0 << true << true;
        QTest::newRow("scene, take, note and names") << 1 << true << true;
        QTest::newRow("name to escape") << 2 << true << true;
        QTest::newRow("empty name") << 3 << true << true;
        QTest::newRow("scene of one member only") << 4 << true << true;
        QTest::newRow("channel renumbered") << 5 << true << true;
        QTest::newRow("slot names") << 6 << true << false;
        QTest::newRow("member read after the edit") << 7 << false << true;
        QTest::newRow("nothing edited") << 8 << true << true;
        QTest::newRow("family, total files, pickup take") << 9 << true << true;
        QTest::newRow("empty notes and notes to escape") << 10 << true << true;
        QTest::newRow("scene with its fields") << 11 << true << false;
        QTest::newRow("slot names held already") << 12 << true << true;
        QTest::newRow("slot names, one changed") << 13 << true << false;
    }

    void adoptedEditsSaveAsBuiltDocuments()
    {
        QFETCH(int, edit);
        QFETCH(bool, fast);
        QFETCH(bool, firstIndexed);
        QTemporaryDir dir;
        const TakeSpec spec = MonoTake(QStringLiteral("FAM001"), kSlots);
        QStringList files[2];
        for (int copy = 0; copy < 2; ++copy) {
            const WrittenTake written = WriteTake(dir.path() + QStringLiteral("/%1").arg(copy), spec);
            files[copy] = written.files;
            QSoundPerform take;
            QVERIFY(take.InitFilesZZ(dir.path() + QStringLiteral("/%1/FAM001").arg(copy), QStringLiteral("WAV")));
            QVERIFY(take.m_SndFile[1].IsDocumentAdopted());
            // The first member too is saved from its text's document, built at its first use.
            QVERIFY(take.m_SndFile[0].IsIndexed());
            if (copy == 1) {
                for (int slot : kSlots)
                    take.m_SndFile[slot].Document();
            }
            QString slotNames[24];
            for (int slot : kSlots) {
                QSoundFile& file = take.m_SndFile[slot];
                const QString names[] = {QStringLiteral("Boom %1").arg(slot), QStringLiteral("Boom %1").arg(slot),
                                         QStringLiteral("Boom & Lav"), QString()};
                if (edit <= 3)
                    take.SetiXMLTrackName(ushort(slot), names[edit]);
                if (edit == 1) {
                    file.SetiXMLScene(slot, QStringLiteral("14B"), 0, false, {}, {});
                    file.SetiXMLTake(slot, QStringLiteral("t"), QStringLiteral("3"), 0);
                    file.SetiXMLNote(slot, QStringLiteral("car passing"));
                }
                if (edit == 4 && slot == 2)
                    file.SetiXMLScene(slot, QStringLiteral("99"), -1, false, {}, {});
                if (edit == 5)
                    file.SetiXMLMonoTrackNumber(slot, slot + 11);
                if (edit == 9) {
                    file.SetiXMLFamilyName(slot, false, QStringLiteral("14B"), QStringLiteral("p"), QStringLiteral("4"), 0);
                    file.SetiXMLTotalFiles(slot, 30, false);
                    file.SetiXMLTake(slot, QStringLiteral("p"), QStringLiteral("4"), 0);
                }
                if (edit == 10)
                    file.SetiXMLNote(slot, slot % 2 ? QStringLiteral("say \"cut\"") : QString());
                if (edit == 11)
                    file.SetiXMLScene(slot, QStringLiteral("14B"), 4, false, {1, 0, 2}, {"A", "-", "B"});
                slotNames[slot] = QStringLiteral("Slot %1").arg(slot);
            }
            if (edit == 6)
                take.SetiXMLOrvexTracknames(slotNames, true);
            if (edit == 12 || edit == 13) {
                for (int slot : kSlots)
                    slotNames[slot] = edit == 13 && slot == 2 ? QStringLiteral("Plant") : QStringLiteral("Trk%1").arg(slot + 1);
                QCOMPARE(take.OrvexTracknamesHeld(slotNames, true), edit == 12);
                take.SetiXMLOrvexTracknames(slotNames, true);
            }
            if (edit == 7) {
                take.SetiXMLTrackName(2, QStringLiteral("Plant"));
                QCOMPARE(take.m_SndFile[2].GetiXMLMonoTrackName(), QStringLiteral("Plant"));
                take.m_SndFile[2].SetiXMLNote(2, QStringLiteral("read back"));
                QCOMPARE(take.m_SndFile[2].GetiXMLNotes(), QStringLiteral("read back"));
            }
            if (copy == 0) {
                QCOMPARE(take.m_SndFile[2].IsDocumentAdopted(), fast);
                QCOMPARE(take.m_SndFile[0].IsIndexed(), firstIndexed);
            }
            QVERIFY(take.UpdateiXMLChunk());
        }
        for (int i = 0; i < files[0].size(); ++i) {
            QFile a(files[0].at(i));
            QFile b(files[1].at(i));
            QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
            QCOMPARE(a.readAll(), b.readAll());
        }
        // Reloaded, the saved take shows what each file parsed alone gives.
        WrittenTake saved;
        saved.files = files[0];
        const Expected expected = FullParse(saved, spec);
        QSoundPerform take;
        QVERIFY(take.InitFilesZZ(dir.path() + QStringLiteral("/0/FAM001"), QStringLiteral("WAV")));
        for (int slot : kSlots) {
            QCOMPARE(take.m_pnChannelIndex[slot], expected.channel[slot]);
            QCOMPARE(take.m_czTrackName[slot], expected.name[slot]);
        }
        if (edit == 0)
            QCOMPARE(take.m_czTrackName[3], QStringLiteral("Boom 3"));
    }

    // Another maker's file named like a mono track: fmt may stand past a long
    // iXML; a bext alone makes it a take, "X_1", else it is a track of "X".
    void listedFileOfItsHead_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("kind");   // tyTrackFileHead::Kind
        QTest::addColumn<int>("readChannels");
        const int whole = tyTrackFileHead::WholeTake;
        QTest::newRow("fmt first, two channels") << "fmt first" << 2 << whole << 2;
        QTest::newRow("iXML before fmt, mono") << "headers first" << 1 << whole << 1;
        QTest::newRow("UTF-16 iXML before fmt") << "utf-16" << 2 << whole << 2;
        QTest::newRow("no bext, iXML before fmt") << "no bext" << 1 << whole << 1;
        QTest::newRow("cut before fmt, a bext") << "cut before fmt" << 2 << whole << 0;
        QTest::newRow("iXML size past the end") << "past end" << 2 << whole << 0;
        QTest::newRow("cut before fmt, no bext") << "cut, no bext" << 2 << int(tyTrackFileHead::Unread) << 0;
    }

    void listedFileOfItsHead()
    {
        QFETCH(QString, layout);
        QFETCH(int, channels);
        QFETCH(int, kind);
        QFETCH(int, readChannels);
        ForeignSpec spec;
        spec.channels = channels;
        spec.bext = !layout.contains(QLatin1String("no bext"));
        spec.headersFirst = layout != QLatin1String("fmt first");
        spec.ixmlUtf16 = layout == QLatin1String("utf-16");
        QByteArray bytes = BuildForeignFile(spec);
        QCOMPARE(bytes.indexOf("fmt ") > 4096, spec.headersFirst);
        if (layout.startsWith(QLatin1String("cut")))
            bytes.truncate(bytes.indexOf("fmt ") - 100);
        else if (layout == QLatin1String("past end"))
            qToLittleEndian<quint32>(quint32(bytes.size()), bytes.data() + bytes.indexOf("iXML") + 4);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("X_1.WAV")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush());
        const tyTrackFileHead head = ReadTrackFileHead(file.fileName());
        QCOMPARE(int(head.eKind), kind);
        QCOMPARE(head.nChannels, readChannels);
        const tyListedFile listed = ListedFileOf(dir.path() + QLatin1Char('/'), QStringLiteral("X_1.WAV"), nullptr);
        QCOMPARE(listed.czTake, QString(kind == tyTrackFileHead::WholeTake ? "X_1" : "X"));
        QCOMPARE(listed.eKind, readChannels > 1 ? TakeNaming::FileKind::Poly : TakeNaming::FileKind::Mono);
    }

    // Another maker's mono file named like a track of this recorder's take,
    // sorting after its files, before them ('-' before '_'), or in a gap of
    // its slots: it stands alone, the take loads and saves with its own
    // files, and the stranger keeps its bytes and loads as a take by itself.
    // The folder not listed, the load asks the disk only the names its
    // found tracks need where no name of another form stands.
    void strangerNamedLikeATrack_data()
    {
        QTest::addColumn<QString>("stranger");
        QTest::addColumn<QList<int>>("slotList");
        QTest::addColumn<bool>("asLong");   // of the members' very length
        QTest::addColumn<bool>("asFound");  // no more probes than the found tracks need
        QTest::newRow("after the take's files") << "LEN666_05.WAV" << QList<int>{0, 1, 2, 3} << false << true;
        QTest::newRow("before the take's files") << "LEN666-05.WAV" << QList<int>{0, 1, 2, 3} << false << false;
        QTest::newRow("in a gap of its slots") << "LEN666_03.WAV" << QList<int>{0, 1, 3, 4} << false << true;
        QTest::newRow("after the take's files, as long") << "LEN666_05.WAV" << QList<int>{0, 1, 2, 3} << true
                                                         << true;
        QTest::newRow("before the take's files, as long") << "LEN666-05.WAV" << QList<int>{0, 1, 2, 3} << true
                                                          << false;
        QList<int> every;
        for (int t = 0; t < 24; ++t)
            every << t;
        QTest::newRow("24 tracks, no stranger") << QString() << every << false << true;
    }

    void strangerNamedLikeATrack()
    {
        QFETCH(QString, stranger);
        QFETCH(QList<int>, slotList);
        QFETCH(bool, asLong);
        QFETCH(bool, asFound);
        QTemporaryDir dir;
        const QString folder = dir.path() + QLatin1Char('/');
        const WrittenTake written = WriteTake(dir.path(), MonoTake(QStringLiteral("LEN666"), slotList));
        QCOMPARE(written.files.size(), slotList.size());
        ForeignSpec spec;
        spec.channels = 1;
        spec.bext = true;
        const qint64 length = QFileInfo(written.files.first()).size();
        const QByteArray foreign = asLong ? BuildForeignFileOfLength(spec, length) : BuildForeignFile(spec);
        QCOMPARE(foreign.size() == length, asLong);
        QVERIFY(stranger.isEmpty() || WriteBytes(folder + stranger, foreign));
        const auto bytesOf = [](const QString& path) {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        const QByteArray strangerBytes = bytesOf(folder + stranger);
        // The load's probes of the names, the folder not listed, against
        // what the poly file's name and each slot's names cost asked in
        // turn up to the first found.
        int need = 1;
        for (int slot = 0; slot < 24; ++slot) {
            bool found = false;
            for (QChar separator : TakeNaming::LoadSeparators()) {
                for (const QString& number : TakeNaming::LoadTrackForms(slot)) {
                    need += found ? 0 : 1;
                    found = found || QFileInfo::exists(folder + "LEN666" + separator + number + ".WAV");
                }
            }
        }
        int probes = 0;
        tyTakeFamily family;
        QVERIFY(FindTakeFamily(folder + "LEN666", "WAV",
                               [&](const QString& name) { return ++probes, QFileInfo::exists(folder + name); },
                               &family));
        QVERIFY2(probes <= need || !asFound, qPrintable(QStringLiteral("%1 probes > %2").arg(probes).arg(need)));
        if (stranger.isEmpty())
            return;

        // The listing's rule in name order, each file after its family's nearest member.
        const auto listedTakes = [&folder, &dir] {
            tyListedFile member;
            QStringList takes;
            const QStringList names = QDir(dir.path()).entryList(QDir::Files, QDir::Name);
            const QSet<QString> rivals = SlotRivalsInListing(folder, names);
            for (const QString& name : names) {
                const tyListedFile listed =
                    ListedFileOf(folder, name, member.czFamily.isEmpty() ? nullptr : &member, rivals.contains(name));
                if (!listed.bAlone)
                    member = listed;
                if (!takes.contains(listed.czTake))
                    takes << listed.czTake;
            }
            takes.sort();
            return takes;
        };
        const QStringList apart{QStringLiteral("LEN666"), QFileInfo(stranger).completeBaseName()};
        // One of the members' length after one of them is taken in unread
        // until a load of the take has read it.
        if (!asLong || stranger.contains('-'))
            QCOMPARE(listedTakes(), apart);

        QSoundPerform take;
        QVERIFY(take.InitFilesZZ(folder + QStringLiteral("LEN666"), QStringLiteral("WAV")));
        QCOMPARE(int(take.m_nTakeStatus), 0);
        QCOMPARE(int(take.m_nFileCount), slotList.size());
        for (int t = 0; t < 6; ++t)
            QCOMPARE(take.m_pbPresent[t], slotList.contains(t));
        for (const int t : slotList)
            take.m_SndFile[t].SetiXMLNote(t, QStringLiteral("edited"));
        QVERIFY(take.UpdateiXMLChunk());
        QCOMPARE(bytesOf(folder + stranger), strangerBytes);
        QCOMPARE(listedTakes(), apart);
        QSoundPerform alone;
        QVERIFY(alone.InitFilesZZ(folder + QFileInfo(stranger).completeBaseName(), QStringLiteral("WAV")));
        QCOMPARE(int(alone.m_nTakeStatus), 3);
    }

    // Another maker's file named for a slot of this recorder's take in
    // another separator or number form, or for a track the load reads by a
    // letter or never, or a file of another take, a copy of a member,
    // another recording of the take's name, a copy cut short, an empty or
    // unidentified file named for one of its slots, found before its
    // member or after: the listing and the load take the same files before
    // and after the load, the take whole, the stranger a take by itself
    // (or, a letter track, counted unlisted); a copy is told in the take's
    // line, and another recording as such. A file in place of a member
    // that is none by its bext is held out: named, never "missing".
    void strangerInAnotherForm_data()
    {
        QTest::addColumn<int>("form");
        QTest::addColumn<bool>("asLong");
        QTest::addColumn<bool>("exfat");
        for (int form = 0; form < StrangerForms().size(); ++form) {
            const QString tag = QString::fromLatin1(StrangerForms().at(form).tag);
            for (const bool asLong : {false, true}) {
                if ((!asLong || StrangerForms().at(form).made == StrangerMade::OtherMaker)
                    && !StrangerForms().at(form).cardOnly)
                    QTest::newRow(qPrintable(tag + (asLong ? ", as long" : ""))) << form << asLong << false;
            }
            // A card's file system: names in any case are one (and no links).
            if (StrangerForms().at(form).made != StrangerMade::OtherMaker && StrangerForms().at(form).deadLinkTrack < 0)
                QTest::newRow(qPrintable(tag + ", exFAT")) << form << false << true;
        }
    }

    void strangerInAnotherForm()
    {
        QFETCH(int, form);
        QFETCH(bool, asLong);
        QFETCH(bool, exfat);
        const StrangerForm& beside = StrangerForms().at(form);
        ScratchDir scratch;
        std::unique_ptr<ExfatVolume> volume(exfat ? new ExfatVolume(scratch.path()) : nullptr);
        NALVO_REQUIRE_EXFAT(volume);
        const QDir dir(volume ? volume->Path() : scratch.path());
        QStringList members = WriteTakeBesideStranger(dir.path(), beside, asLong);
        QVERIFY(!members.isEmpty());
        members.sort();
        const QString stranger = dir.filePath(beside.stranger);
        const QString id = beside.take.id;
        QStringList rows;   // a letter track has none: it is read with its take
        for (const QString& member : members) {
            if (!QFileInfo(member).completeBaseName().back().isLetter())
                rows << member;
        }
        // One in place of its member is listed with the take.
        if (beside.inPlace) {
            rows << stranger;
            rows.sort();
        }
        QMap<QString, QStringList> expected{{id, rows}};
        if (beside.listed)
            expected.insert(QFileInfo(stranger).completeBaseName(), {stranger});
        if (ListedWithTakeUntilLoaded(beside, asLong)) {
            QMap<QString, QStringList> unread{{id, rows + QStringList{stranger}}};
            unread[id].sort();
            QCOMPARE(ListedTakeFiles(dir.path()), unread);
        } else {
            QCOMPARE(ListedTakeFiles(dir.path()), expected);
        }

        QSoundPerform take;
        QVERIFY(take.InitFilesZZ(dir.filePath(id), QStringLiteral("WAV")));
        QCOMPARE(int(take.m_nTakeStatus), 0);
        QCOMPARE(take.MissingMembers(), 0);
        // A namesake in another form is told by a load that holds the
        // folder's names (a report's listing, the shown take's load, which
        // reads them where none are kept): one that asks the disk name by
        // name looks no further than the members' own form.
        QSoundPerform listed;
        MyFileInfoList listing;
        QCOMPARE(listing.LoadEntryInfoList(dir.path(), {".WAV"}, false, nullptr), 0);
        QVERIFY(listed.QuickInitFiles(dir.filePath(id), QStringLiteral("WAV"), &listing, false));
        QSoundPerform shown;
        QVERIFY(shown.QuickInitFiles(dir.filePath(id), QStringLiteral("WAV"), nullptr, true));
        const bool namesake = beside.made == StrangerMade::CopyOfMember || beside.made == StrangerMade::OtherRecording
                              || beside.made == StrangerMade::CutCopy;
        // The member a copy is of; a link to nothing is named once, by the
        // loads that list the folder's names.
        const int copied = beside.copyOf >= 0 ? beside.copyOf : TakeNaming::LoadTrackSlot(QFileInfo(stranger).completeBaseName());
        const QString original = TrackFileName(beside.take, qBound(0, copied, beside.take.tracks.size() - 1));
        const QString link = beside.deadLinkTrack < 0 ? QString()
                                                      : QStringLiteral(" %1: %1_%2.WAV is not a regular file: not read.")
                                                            .arg(id).arg(beside.deadLinkTrack + 1, 2, 10, QLatin1Char('0'));
        for (const QSoundPerform* loadedTake : {&take, &listed, &shown}) {
            const QString line = loadedTake->ProblemLine(true, dir.path() + QLatin1Char('/'), id);
            if (beside.made == StrangerMade::CopyOfMember && loadedTake != &take)
                QCOMPARE(line, QStringLiteral("%1: %2 is a copy of %3; left out of the take, never written "
                                              "with it.").arg(id, beside.stranger, original) + link);
            else if (beside.made == StrangerMade::CutMember)
                QVERIFY2(line.startsWith(QStringLiteral("%1: %2 is left out of the take, as it is cut short, though")
                                             .arg(id, beside.stranger)), qPrintable(line));
            else if (namesake && loadedTake != &take)
                QCOMPARE(line, QStringLiteral("%1: %2 is another recording with this take's name; left out of the "
                                              "take, never written with it.").arg(id, beside.stranger));
            else if (beside.inPlace)
                QVERIFY2(line.startsWith(QStringLiteral("%1: %2 is left out of the take, as ").arg(id, beside.stranger))
                             && !line.contains("missing"),
                         qPrintable(line));
            else
                QVERIFY2(line.isEmpty() || namesake, qPrintable(line));
        }
        QStringList loaded;
        for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
            if (take.m_pbPresent[t])
                loaded << take.m_SndFile[t].GetPath();
        }
        loaded.sort();
        QCOMPARE(loaded, members);
        // Named for a slot the browser lists no row of: counted as not
        // listed from now on; held out: listed with the take still.
        tyTrackFileHead head;
        if (!beside.listed)
            QCOMPARE(KeptTrackFileHead(dir.path() + QLatin1Char('/'), QFileInfo(stranger).fileName(), &head),
                     !beside.inPlace);
        QCOMPARE(ListedTakeFiles(dir.path()), expected);
    }

    // A take beside each stranger form, loaded as the window loads it: a
    // note saves into its members, never refused for the stranger, and
    // leaves every other file of the folder byte for byte.
    void saveBesideAStranger_data()
    {
        QTest::addColumn<int>("form");
        for (int form = 0; form < StrangerForms().size(); ++form) {
            if (!StrangerForms().at(form).cardOnly)
                QTest::newRow(StrangerForms().at(form).tag) << form;
        }
    }

    void saveBesideAStranger()
    {
        QFETCH(int, form);
        const StrangerForm& beside = StrangerForms().at(form);
        ScratchDir scratch;
        const QDir dir(scratch.path());
        QStringList members = WriteTakeBesideStranger(dir.path(), beside, true);
        QVERIFY(!members.isEmpty());
        QMap<QString, QByteArray> others;
        for (const QString& name : dir.entryList(QDir::Files)) {
            if (!members.contains(dir.filePath(name)))
                others.insert(name, ReadBytes(dir.filePath(name)));
        }
        QSoundPerform take;
        QVERIFY(take.QuickInitFiles(dir.filePath(beside.take.id), QStringLiteral("WAV"), nullptr, true));
        QStringList loaded;
        for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
            if (take.m_pbPresent[t]) {
                loaded << take.m_SndFile[t].GetPath();
                QVERIFY(take.m_SndFile[t].SetiXMLNote(t, QStringLiteral("Saved beside a stranger")));
            }
        }
        loaded.sort();
        members.sort();
        QCOMPARE(loaded, members);
        QVERIFY2(take.UpdateiXMLChunk(), qPrintable(take.SaveReport()));
        for (const QString& member : members) {
            QSoundFile file;
            file.SetPath(member);
            QVERIFY(file.Open(0) && file.ReadChunks(false, true) && file.GetiXMLFileInfos());
            QCOMPARE(file.GetiXMLNotes(), QStringLiteral("Saved beside a stranger"));
        }
        for (auto other = others.cbegin(); other != others.cend(); ++other)
            QVERIFY2(ReadBytes(dir.filePath(other.key())) == other.value(), qPrintable(other.key()));
    }

    // A day where other files take the names of a take's tracks or of the
    // take itself: another take's copies in the first form the probe looks
    // at, another maker's file named like the take, a second name of a
    // member. Every load (the full one the processes and reports use, the
    // shown take's, one from a listing) reads the take's own files, and the
    // line names what it leaves beside them.
    void takeAmongOtherFilesOfItsNames_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("alone");   // listed as takes by themselves
        QTest::newRow("another take's copies in the first form")
            << "SGB088" << "copies" << QString() << QStringList{"SGB088_01.WAV", "SGB088_02.WAV"};
        QTest::newRow("another take's file in a member's slot, first form")
            << "CUB633" << "one" << QString() << QStringList{"CUB633_01.WAV"};
        QTest::newRow("another take's track named like the take") << "SGB089" << "take name" << QString()
                                                                    << QStringList();
        QTest::newRow("another take's files in the first form and named like the take")
            << "FZD001" << "one, take name" << QString() << QStringList{"FZD001_01.WAV"};
        QTest::newRow("another maker's two-channel file named like the take")
            << "CUB634" << "foreign" << QString() << QStringList();
        QTest::newRow("a second name of a member")
            << "LEN749" << "link"
            << "LEN749: LEN749-02.WAV is a second name of LEN749_02.WAV's file; a save of the take writes it too."
            << QStringList{"LEN749-02.WAV"};
        // The take's own track 2 whose bext another program rewrote stays
        // the take's, held out; another take's file of that track is a take
        // by itself.
        QTest::newRow("a member's bext rewritten, another take's file of its track beside")
            << "LEN732" << "rewritten"
            << "LEN732: LEN732_02.WAV is left out of the take, as its bext is not this recorder's" << QStringList{"LEN732-02.WAV"};
        // Held out by its length, not by the form another maker's file
        // shares with the members.
        QTest::newRow("a member's bext rewritten in another form, another maker's file of its track in the members'")
            << "LEN733" << "rewritten apart"
            << "LEN733: LEN733#02.WAV is left out of the take, as its bext is not this recorder's"
            << QStringList{"LEN733_02.WAV"};
        // Of the members' length, but naming another take: no length to
        // join the members by.
        QTest::newRow("another take's file of the members' length sorting before them")
            << "CUB636" << "before" << QString() << QStringList{"CUB636_09.WAV"};
        // Held out in place of the member the take's metadata lists,
        // though of another length: listed with the take as one of the
        // members' length is.
        QTest::newRow("a member cut inside its head")
            << "LEN734" << "cut head" << "LEN734: LEN734_02.WAV is left out of the take, as" << QStringList();
        // The members are the take, as the day lists them.
        QTest::newRow("this recorder's poly file of the take named like the take")
            << "CUB635" << "poly" << QString() << QStringList();
        // No track file names the take: its own file of the take's name is
        // the take, and the day lists it so.
        QTest::newRow("the take's own file named like the take, another take's file of its track")
            << "SGB090" << "own take name" << QString() << QStringList{"SGB090_01.WAV"};
        QTest::newRow("the take's own file named like the take, an empty file named for its track")
            << "SGB091" << "own take name, empty" << QString() << QStringList{"SGB091_01.WAV"};
        // Cut inside their fmt, the second joined by its length unread.
        QTest::newRow("the take's own file named like the take, files named for its tracks cut short")
            << "SGB092" << "own take name, cut" << QString() << QStringList{"SGB092_01.WAV", "SGB092_02.WAV"};
    }

    void takeAmongOtherFilesOfItsNames()
    {
        QFETCH(QString, id);
        QFETCH(QString, layout);
        QFETCH(QString, line);
        QFETCH(QStringList, alone);
        ScratchDir scratch;
        const QDir dir(scratch.path());
        const bool one = layout.startsWith("one");
        const bool takeNamed = layout.startsWith("own take name");
        TakeSpec spec = MonoTake(id, one || takeNamed ? QList<int>{0} : QList<int>{0, 1});
        for (TrackSpec& track : spec.tracks)
            track.separator = layout == "copies" ? '#' : one ? '-' : '_';
        if (layout == "one" || layout == "before")
            spec.numberStyle = TrackNumberStyle::OneChar;
        QStringList members = WriteTake(dir.path(), spec).files;
        QCOMPARE(members.size(), spec.tracks.size());
        TakeSpec other = spec;
        other.id = QStringLiteral("OTH") + id.mid(3);
        other.numberStyle = TrackNumberStyle::TwoDigit;
        if (layout == "copies") {
            QVERIFY(WriteBytes(dir.filePath(id + "_01.WAV"), BuildMonoFile(other, 0)));
            QVERIFY(WriteBytes(dir.filePath(id + "_02.WAV"), BuildMonoFile(other, 1)));
        } else if (one) {
            QVERIFY(WriteBytes(dir.filePath(id + "_01.WAV"), BuildMonoFile(other, 0)));
            if (layout == "one, take name")
                QVERIFY(WriteBytes(dir.filePath(id + ".WAV"), BuildMonoFile(other, 0)));
        } else if (layout == "take name") {
            QVERIFY(WriteBytes(dir.filePath(id + ".WAV"), BuildMonoFile(other, 0)));
        } else if (layout == "foreign") {
            QVERIFY(WriteBytes(dir.filePath(id + ".WAV"), BuildForeignFile(ForeignSpec())));
        } else if (layout == "poly") {
            QVERIFY(WriteBytes(dir.filePath(id + ".WAV"), BuildPolyFile(PolyTake(id, {0, 1}))));
        } else if (takeNamed) {
            QVERIFY(QFile::rename(members.first(), dir.filePath(id + ".WAV")));
            members = QStringList{dir.filePath(id + ".WAV")};
            if (layout.endsWith("cut")) {
                for (const char* track : {"_01.WAV", "_02.WAV"})
                    QVERIFY(WriteBytes(dir.filePath(id + track), ReadBytes(members.first()).left(21)));
            } else {
                QVERIFY(WriteBytes(dir.filePath(id + "_01.WAV"), layout.endsWith("empty") ? QByteArray()
                                                                                           : BuildMonoFile(other, 0)));
            }
        } else if (layout == "rewritten apart") {
            QByteArray bytes = ReadBytes(members.at(1));
            bytes.replace(bytes.indexOf("bext") + 8 + 256, 64, QByteArray(64, '\0'));
            QVERIFY(WriteBytes(dir.filePath(id + "#02.WAV"), bytes));
            ForeignSpec foreign;
            foreign.channels = 1;
            foreign.bext = true;
            QVERIFY(WriteBytes(members.takeAt(1), BuildForeignFile(foreign)));
        } else if (layout == "before") {
            QVERIFY(WriteBytes(dir.filePath(id + "_09.WAV"), BuildMonoFile(other, 0)));
        } else if (layout == "cut head") {
            QVERIFY(WriteBytes(members.at(1), ReadBytes(members.at(1)).left(42)));
            members.removeAt(1);
        } else if (layout == "rewritten") {
            QByteArray bytes = ReadBytes(members.at(1));
            bytes.replace(bytes.indexOf("bext") + 8 + 256, 64, QByteArray(64, '\0'));
            QVERIFY(WriteBytes(members.takeAt(1), bytes));
            QVERIFY(WriteBytes(dir.filePath(id + "-02.WAV"), BuildMonoFile(other, 1)));
        } else {
            QCOMPARE(::link(QFile::encodeName(members.at(1)).constData(),
                            QFile::encodeName(dir.filePath(id + "-02.WAV")).constData()),
                     0);
        }
        members.sort();
        const QString folder = dir.path() + QLatin1Char('/');
        const auto loadedFiles = [](const QSoundPerform& take) {
            QStringList loaded;
            for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
                if (take.m_pbPresent[t])
                    loaded << take.m_SndFile[t].GetPath();
            }
            loaded.sort();
            return loaded;
        };
        QSoundPerform full;
        QVERIFY(full.InitFilesZZ(folder + id, QStringLiteral("WAV")));
        QSoundPerform shown;
        QVERIFY(shown.QuickInitFiles(folder + id, QStringLiteral("WAV"), nullptr, true));
        MyFileInfoList listing;
        QCOMPARE(listing.LoadEntryInfoList(dir.path(), {".WAV"}, false, nullptr), 0);
        QSoundPerform listed;
        QVERIFY(listed.QuickInitFiles(folder + id, QStringLiteral("WAV"), &listing, false));
        for (const QSoundPerform* take : {&full, &shown, &listed}) {
            QCOMPARE(take->m_bPolyTake, takeNamed);
            QCOMPARE(int(take->m_nTakeStatus), 0);
            QCOMPARE(loadedFiles(*take), members);
        }
        if (!line.isEmpty())
            QVERIFY2(shown.ProblemLine(true, folder, id).startsWith(line), qPrintable(shown.ProblemLine(true, folder, id)));
        // The day lists the take with what its load read, and the others alone.
        const QMap<QString, QStringList> listedTakes = ListedTakeFiles(dir.path());
        QStringList read = loadedFiles(shown);
        for (const QString& held : shown.HeldOutMembers())
            read << dir.filePath(held);
        read.sort();
        QCOMPARE(listedTakes.value(id), read);
        for (const QString& name : alone) {
            QCOMPARE(listedTakes.value(QFileInfo(name).completeBaseName()), QStringList{dir.filePath(name)});
            QVERIFY(!listedTakes.value(id).contains(dir.filePath(name)));
        }
        // A save writes the files loaded, and no other file of the folder.
        QMap<QString, QByteArray> others;
        for (const QString& name : dir.entryList(QDir::Files)) {
            if (!members.contains(dir.filePath(name)) && layout != "link")
                others.insert(name, ReadBytes(dir.filePath(name)));
        }
        for (int t = 0; t < spec.tracks.size(); ++t)
            full.m_SndFile[t].SetiXMLNote(t, QStringLiteral("edited"));
        QVERIFY(full.UpdateiXMLChunk());
        for (auto other = others.cbegin(); other != others.cend(); ++other)
            QCOMPARE(ReadBytes(dir.filePath(other.key())), other.value());
    }

    // A name of a member that is no file of it: a FIFO (whose open would
    // block forever), a folder or a link to nothing named like a track
    // file: the take opens with its files at once, without a box, its line
    // naming the entry. A member that cannot be read as it is: one another program is rewriting
    // (emptied, or cut short) may be whole in a moment; an old member cut
    // short stays so: the take is damaged (a card pulled while recording),
    // the member named. The load refuses each at once and says why, once,
    // and the take line says the same, never pointing this recorder's take
    // to Import, which takes no file of it.
    void fifoInAFamily_data()
    {
        QTest::addColumn<QString>("member");
        QTest::addColumn<QStringList>("told");
        const QStringList notRegular{"FIF001: FIF001_02.WAV is not a regular file: not read."};
        QTest::newRow("fifo") << "fifo" << notRegular;
        QTest::newRow("folder") << "folder" << notRegular;
        QTest::newRow("link to nothing") << "dangling" << notRegular;
        // Cut short a moment ago: what is known is said, and that it may still be arriving.
        const QStringList arriving = {"FIF001 was not read", "differ", "may still be arriving", "again"};
        QTest::newRow("emptied by another program") << "emptied" << arriving;
        QTest::newRow("cut short by another program") << "cut" << arriving;
        const QString damaged = "FIF001 is damaged and was not read: its track file FIF001_03.WAV is shorter than "
                                "the others";
        QTest::newRow("cut short long ago")
            << "old cut" << QStringList{damaged + ", not closed correctly by the recorder (Wrong File #8)."};
        // Its sizes those of its shorter sound.
        QTest::newRow("fewer frames long ago") << "old fewer" << QStringList{damaged + "."};
        // Its only other track cut short in its head by an interrupted copy:
        // another take's file never stands in for the take's tracks.
        QTest::newRow("another take's file beside a track cut short in its head")
            << "other take" << QStringList{"FIF001_01.WAV is left out of the take, as it is cut short",
                                           "FIF001_02.WAV is left out of the take, as its bext names take OTH001"};
    }

    void fifoInAFamily()
    {
        QFETCH(QString, member);
        QFETCH(QStringList, told);
        QTemporaryDir dir;
        const WrittenTake written = WriteTake(dir.path(), MonoTake(QStringLiteral("FIF001"), {0, 2}));
        QCOMPARE(written.files.size(), 2);
        const QString path = dir.path() + QStringLiteral("/FIF001_02.WAV");
        const bool opens = told == QStringList{"FIF001: FIF001_02.WAV is not a regular file: not read."};
        if (member == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (member == QLatin1String("folder")) {
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("FIF001_02.WAV")));
        } else if (member == QLatin1String("dangling")) {
            QVERIFY(QFile::link(dir.path() + QStringLiteral("/gone.WAV"), path));
        } else if (member == QLatin1String("other take")) {
            QVERIFY(WriteBytes(written.files.at(0), ReadBytes(written.files.at(0)).left(100)));
            QVERIFY(QFile::remove(written.files.at(1)));
            QVERIFY(WriteBytes(path, BuildMonoFile(MonoTake(QStringLiteral("OTH001"), {0, 1}), 1)));
        } else if (member == QLatin1String("old fewer")) {
            const TakeSpec spec = MonoTake(QStringLiteral("FIF001"), {0, 2});
            QVERIFY(WriteBytes(written.files.at(1), BuildBrokenFile(spec, Breakage::FamilySizeMismatch)));
        } else {
            QFile file(written.files.at(1));
            QVERIFY(file.resize(member == QLatin1String("emptied") ? 0 : file.size() / 2));
        }
        if (member.startsWith(QLatin1String("old "))) {
            const timespec old[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
            QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(written.files.at(1)).constData(), old, 0), 0);
        }

        MessageLoging logger;
        QSignalSpy messages(&logger, &MessageLoging::signal_message);
        QSoundPerform take;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(take.InitFilesZZ(dir.path() + QStringLiteral("/FIF001"), QStringLiteral("WAV")), opens);
        QVERIFY(clock.elapsed() < 5000);
        if (opens) {
            QCOMPARE(messages.count(), 0);
            QCOMPARE(int(take.m_nFileCount), 2);
            // A link to nothing is no name the disk finds; a listing finds it.
            const QString line = take.ProblemLine(true, dir.path() + QStringLiteral("/"), QStringLiteral("FIF001"));
            QCOMPARE(line, member == QLatin1String("dangling") ? QString() : told.first());
            QSoundPerform listed;
            MyFileInfoList listing;
            QCOMPARE(listing.LoadEntryInfoList(dir.path(), {".WAV"}, false, nullptr), 0);
            QVERIFY(listed.QuickInitFiles(dir.path() + QStringLiteral("/FIF001"), QStringLiteral("WAV"), &listing,
                                          false));
            QCOMPARE(listed.ProblemLine(true, dir.path() + QStringLiteral("/"), QStringLiteral("FIF001")),
                     told.first());
            QCOMPARE(messages.count(), 0);
            return;
        }
        QCOMPARE(messages.count(), 1);
        for (const QString& words : told)
            QVERIFY2(messages.at(0).at(1).toString().contains(words), qPrintable(messages.at(0).at(1).toString()));
        // The FIFO is told by the open that refused it, and named in the line.
        const QString line = take.ProblemLine(false, dir.path() + QStringLiteral("/"), QStringLiteral("FIF001"));
        for (const QString& words : told)
            QVERIFY2(line.contains(words), qPrintable(line));
        QVERIFY2(!line.contains(QStringLiteral("Import")), qPrintable(line));
    }
};

QTEST_GUILESS_MAIN(TestFamilyLoad)
#include "test_familyload.moc"
