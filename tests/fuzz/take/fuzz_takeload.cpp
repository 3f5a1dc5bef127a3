// The take loader's reading of iXML texts: two members of a mono family
// carry the input (split at the first 0x01 byte, else the same text twice),
// padded to one size so that the family agrees. The load runs the take,
// track and sync-point readers; a member that adopted the first file's
// document, and a first file read from its scan index, must give, once
// their own documents are built, the values they answered without them.
#include "soundfile/filestatus.h"
#include "take/soundperform.h"
#include "tests/fuzz/fuzzinput.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir folder;
    const QByteArray input(reinterpret_cast<const char*>(data), int(size));
    const int split = input.indexOf('\x01');
    QByteArray first = split < 0 ? input : input.left(split);
    QByteArray second = split < 0 ? input : input.mid(split + 1);
    const int padded = qMax(first.size(), second.size());
    first.append(QByteArray(padded - first.size(), ' '));
    second.append(QByteArray(padded - second.size(), ' '));
    const QByteArray texts[2] = {first, second};
    for (int i = 0; i < 2; ++i) {
        QFile out(folder.path() + QStringLiteral("/FZ0001_0%1.WAV").arg(i + 1));
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        out.write(FuzzMonoFile("aSCENE=12A\r\naTAKE=t3\r\naSPEED=025.000-ND\r\naTYP=mono\r\n", texts[i]));
    }

    QSoundPerform take;
    if (!take.InitFilesZZ(folder.path() + QStringLiteral("/FZ0001"), QStringLiteral("WAV")))
        return 0;
    QSoundFile& twin = take.m_SndFile[0];
    if (twin.IsIndexed()) {
        auto values = [&twin] {
            tInputSettings input;
            unsigned int slates = 0;
            unsigned int markers = 0;
            unsigned int positions[20] = {};
            QStringList comments[2];
            twin.GetiXMLSyncPoint(&slates, positions, nullptr, &comments[0], false, &markers, positions + 10,
                                   &comments[1], nullptr);
            QStringList v = comments[0] + comments[1];
            for (const unsigned int p : positions)
                v << QString::number(p);
            for (const QSoundFile::tyOrvexTrack& t : twin.GetiXMLOrvexTrackTable())
                v << t.czName << t.czPanPot << t.czActive << t.czInGrid;
            v << QString::number(twin.GetiXMLOrvexInputSettings(QStringLiteral("MIC_1"), &input))
              << QString::number(input.nDelay) << QString::number(twin.GetiXMLMonoTrackNumber())
              << twin.GetiXMLMonoTrackName() << twin.GetiXMLScene() << twin.GetiXMLNotes()
              << twin.GetiXMLFileKey() << twin.GetiXMLAdvancedScTkComposition()
              << twin.GetiXMLAdvancedScTkFieldTexts() << twin.GetiXMLTakeIndicator() << twin.GetiXMLTakeNumber()
              << twin.GetiXMLPolyTrackName(0) << QString::number(twin.GetiXMLTrackCount())
              << QString::number(ComputeFileStatus(twin));
            return v;
        };
        const QStringList indexed = values();
        twin.Document();   // builds its document from the same text
        if (twin.IsIndexed() || indexed != values())
            __builtin_trap();
    }
    QSoundFile& member = take.m_SndFile[1];
    if (member.IsDocumentAdopted()) {
        const int track = member.GetiXMLMonoTrackNumber();
        const QString name = member.GetiXMLMonoTrackName();
        const int status = ComputeFileStatus(member);
        member.Document();   // builds the member's own document
        if (member.IsDocumentAdopted() || track != member.GetiXMLMonoTrackNumber()
            || name != member.GetiXMLMonoTrackName() || status != ComputeFileStatus(member))
            __builtin_trap();
    }
    return 0;
}
