#include "tests/support/demomedia.h"

#include "tests/support/fixturewriter.h"

#include <QDir>

namespace fixture {

const char* const kDemoVolumeName = "DEMO_CARD";
const char* const kDemoProjectName = "FEATURE";

namespace {

struct DemoTake {
    TakeSpec spec;
    bool sidecar = false;
};

TakeSpec Named(TakeSpec spec, const QStringList& names)
{
    for (int i = 0; i < spec.tracks.size() && i < names.size(); ++i)
        spec.tracks[i].name = names.at(i);
    return spec;
}

TakeSpec Scene(TakeSpec spec, const QString& scene, const QString& prefix, const QString& number,
               quint32 seconds)
{
    spec.scene = scene;
    spec.takePrefix = prefix;
    spec.takeNumber = number;
    spec.frames = spec.sampleRate * seconds;
    return spec;
}

TakeSpec WithSeparator(TakeSpec spec, char separator)
{
    for (TrackSpec& t : spec.tracks)
        t.separator = separator;
    return spec;
}

QList<DemoTake> FirstDay()
{
    QList<DemoTake> takes;
    takes << DemoTake{Named(Scene(MonoTake("A01T01", {0, 1, 2, 3}), "1A", "t", "1", 3),
                            {"Boom", "Lav Anna", "Lav Ben", "Plant"}), true};

    TakeSpec dash = Named(Scene(WithSeparator(MonoTake("A01T02", {0, 1, 2}), '-'), "1A", "t", "2", 2),
                          {"Boom", "Lav Anna", "Lav Ben"});
    dash.circled = true;
    dash.note = "Good take";
    takes << DemoTake{dash};

    takes << DemoTake{Named(Scene(WithSeparator(MonoTake("A01T03", {0, 1, 3}), '#'), "1B", "t", "1", 2),
                            {"Boom", "Lav Anna", "Plant"})};
    takes << DemoTake{Scene(WithSeparator(MonoTake("A01T04", {0, 1}), '+'), "1B", "t", "2", 2)};

    TakeSpec oneChar = Scene(MonoTake("A01T05", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}), "2", "t", "1", 2);
    oneChar.numberStyle = TrackNumberStyle::OneChar;
    takes << DemoTake{oneChar};

    TakeSpec poly4 = Named(Scene(PolyTake("A01T06", {0, 1, 2, 3}), "2", "t", "2", 3),
                           {"Mix L", "Mix R", "Boom", "Lav Anna"});
    poly4.tracks[0].function = "L-MIX";
    poly4.tracks[1].function = "R-MIX";
    poly4.tracks[0].panPot = "100,0";
    poly4.tracks[1].panPot = "0,100";
    takes << DemoTake{poly4, true};

    TakeSpec poly8 = Scene(PolyTake("A01T07", {0, 1, 2, 3, 4, 5, 6, 7}), "3", "t", "1", 2);
    poly8.bits = 16;
    takes << DemoTake{poly8};

    TakeSpec longEq = Named(Scene(MonoTake("A01T08", {0, 1}), "3", "t", "2", 2), {"Boom", "Lav"});
    longEq.nameStyle = NameStyle::LongEquals;
    takes << DemoTake{longEq};

    TakeSpec longUs = Scene(MonoTake("A01T09", {0, 1}), "3A", "t", "1", 2);
    longUs.nameStyle = NameStyle::LongUnderscore;
    takes << DemoTake{longUs};

    TakeSpec longPoly = Scene(PolyTake("A01T10", {0, 1, 2}), "3A", "t", "2", 2);
    longPoly.nameStyle = NameStyle::LongEquals;
    takes << DemoTake{longPoly};

    TakeSpec template2 = Scene(MonoTake("A01T11", {0, 1}), "4", "t", "11", 2);
    template2.scTkTemplate = 2;
    takes << DemoTake{template2};

    TakeSpec template4 = Scene(MonoTake("A01T12", {0, 1}), "12/A", "t", "1", 2);
    template4.scTkTemplate = 4;
    template4.advanced = {{2, "12"}, {0, "/"}, {1, "A"}};
    takes << DemoTake{template4};

    TakeSpec template5 = Scene(MonoTake("A01T13", {0, 1, 2}), "S1E04-7", "t", "3", 2);
    template5.scTkTemplate = 5;
    template5.advanced = {{3, "S1"}, {4, "E04"}, {0, "-"}, {2, "7"}};
    takes << DemoTake{template5};

    TakeSpec slates = Scene(MonoTake("A01T14", {0, 1}), "5", "t", "1", 2);
    slates.sampleRate = 96000;
    slates.frames = 96000 * 2;
    slates.slates = {{48000, "AUTO"}};
    slates.markers = {{96000, "Door"}, {144000, "Plane"}};
    takes << DemoTake{slates};

    TakeSpec cd = Scene(MonoTake("A01T15", {0, 1}), "5", "t", "2", 2);
    cd.sampleRate = 44100;
    cd.bits = 16;
    cd.frames = 44100 * 2;
    takes << DemoTake{cd};

    // A whole 24-track take of a dialogue scene, as a real day holds them.
    QList<int> allTracks;
    for (int t = 0; t < 24; ++t)
        allTracks << t;
    TakeSpec full = Named(Scene(MonoTake("A01T16", allTracks), "6", "t", "1", 20),
                          {"Mix L", "Mix R", "Boom 1", "Boom 2", "Lav Anna", "Lav Ben", "Lav Carl", "Lav Dora",
                           "Lav Emil", "Lav Fay", "Plant 1", "Plant 2", "Plant 3", "Car L", "Car R", "Radio",
                           "Amb L", "Amb R", "Spot 1", "Spot 2", "Spare 1", "Spare 2", "TC", "Slate"});
    full.tracks[0].function = "L-MIX";
    full.tracks[1].function = "R-MIX";
    full.tracks[0].panPot = "100,0";
    full.tracks[1].panPot = "0,100";
    full.ondSamplesPerPoint = 480;
    full.speechEnvelope = true;
    full.note = "Kitchen, full cast";
    takes << DemoTake{full, true};
    return takes;
}

QList<DemoTake> SecondDay()
{
    QList<DemoTake> takes;
    TakeSpec early = Named(Scene(MonoTake("B02T01", {0, 1}), "20", "t", "1", 2), {"Boom", "Lav"});
    early.order = ChunkOrder::IxmlBeforeData;
    early.film = true;
    early.date = QDate(2024, 5, 2);
    takes << DemoTake{early};

    TakeSpec bare = Scene(PolyTake("B02T02", {0, 1}), "20", "t", "2", 2);
    bare.waveform = false;
    bare.order = ChunkOrder::IxmlBeforeOnd;
    takes << DemoTake{bare};

    TakeSpec routed = Named(Scene(MonoTake("B02T03", {0, 1, 2, 3}), "21", "t", "1", 2),
                            {"Mid", "Side", "Boom", "Spare"});
    routed.tracks[0].inGrid = "MIC_1=0x2,";
    routed.tracks[1].inGrid = "MIC_2=0x3,";
    routed.tracks[2].inGrid = "MIC_3=0x1,MIX_1=0x1,";
    routed.tracks[3].active = "DISARMED";
    routed.inputSettings = {{"MIC_1", 0, false, true, 80}, {"MIC_2", 0, true, true, 80},
                            {"MIC_3", 12, false, false, 0}, {"LINE_1", 0, false, false, 0}};
    takes << DemoTake{routed, true};

    TakeSpec mixed = Scene(MonoTake("B02T04", {0, 1, 2}), "21", "t", "2", 2);
    mixed.tracks[1].separator = '-';
    takes << DemoTake{mixed};

    TakeSpec wild = Scene(MonoTake("B02T05", {0}), "22", "w", "1", 2);
    wild.note = "Room tone after the last setup of the day, with the generator switched off";
    takes << DemoTake{wild};

    TakeSpec pickup = Named(Scene(MonoTake("B02T06", {0, 1, 4}), "22", "p", "2", 2), {"Boom", "Lav", "Plant"});
    pickup.circled = true;
    takes << DemoTake{pickup, true};

    // The recorder's own stereo mix on tracks 1 and 2, beside the mics it mixed.
    TakeSpec withMix = Named(Scene(MonoTake("B02T07", {0, 1, 2, 3}), "23", "t", "1", 3),
                             {"Mix L", "Mix R", "Boom", "Lav"});
    withMix.tracks[0].bextType = QStringLiteral("mxdnL");
    withMix.tracks[1].bextType = QStringLiteral("mxdnR");
    withMix.tracks[0].inGrid = QStringLiteral("MIX_1=0x1,");
    withMix.tracks[1].inGrid = QStringLiteral("MIX_2=0x1,");
    takes << DemoTake{withMix};

    // An M/S pair on tracks 3 and 4, after a boom and a lav.
    TakeSpec ms = Named(Scene(MonoTake("B02T08", {0, 1, 2, 3}), "23", "t", "2", 2),
                        {"Boom", "Lav", "Mid", "Side"});
    ms.tracks[2].inGrid = QStringLiteral("MIC_3=0x2,");
    ms.tracks[3].inGrid = QStringLiteral("MIC_4=0x3,");
    takes << DemoTake{ms};
    return takes;
}

bool WriteDay(const QString& dayFolder, const QList<DemoTake>& takes, QStringList* files)
{
    for (const DemoTake& take : takes) {
        const WrittenTake written = WriteTake(dayFolder, take.spec);
        if (written.files.isEmpty())
            return false;
        *files << written.files;
        if (take.sidecar) {
            SidecarSpec side;
            side.volume = {4, 3, 5};
            side.pan = {0, 2};
            side.mute = {0, 0, 1};
            const QString path = WriteSidecar(dayFolder, take.spec.id, side);
            if (path.isEmpty())
                return false;
            *files << path;
        }
    }
    return true;
}

}  // namespace

QStringList WriteDemoVolume(const QString& folder)
{
    const QString volume = MakeVolume(folder, QString::fromLatin1(kDemoVolumeName));
    const QString project = MakeProject(volume, QString::fromLatin1(kDemoProjectName));
    QStringList files;
    if (!WriteDay(MakeDay(project, QDate(2024, 5, 1)), FirstDay(), &files)
        || !WriteDay(MakeDay(project, QDate(2024, 5, 2)), SecondDay(), &files))
        return QStringList();
    return files;
}

}  // namespace fixture
