// A take's save over metadata of any shape: the input is a bext
// description, an iXML text and a text typed into the editor (UTF-16, so
// that any unit, lone surrogates included, can be typed), split at 0x01
// bytes; "@KEY@" in the iXML stands for the file's own key. The text is set
// through the editor's calls, the take saved and loaded again: a take that
// loaded whole, or whose iXML could not be read, must come back whole, with
// the values as set (what XML cannot hold replaced), and its audio must not
// change.
#include "foundation/filekey.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/xmlscanindex.h"
#include "take/soundperform.h"
#include "tests/fuzz/fuzzinput.h"

#include <cstddef>
#include <cstdint>

// Power cuts are not fuzzed: the syncs would only slow the runs.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SetDiskSyncFunction([](const QVector<int>&) { return true; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QByteArray> parts = QByteArray(reinterpret_cast<const char*>(data), int(size)).split('\x01');
    if (parts.size() < 3)
        return 0;
    const QByteArray key = MakeFileKey(48 * 3, 48000, 24, 1).toLatin1();
    const QByteArray ixml = QByteArray(parts.at(1)).replace("@KEY@", key);
    const QByteArray units = parts.mid(2).join('\x01');
    const QString typed = QString::fromUtf16(reinterpret_cast<const char16_t*>(units.constData()), units.size() / 2);
    const QByteArray file = FuzzMonoFile(parts.at(0), ixml);
    const QString path = WriteFuzzInput(QStringLiteral("FZ0002_01.WAV"), reinterpret_cast<const uint8_t*>(file.constData()),
                                        size_t(file.size()));
    const QString takePath = path.left(path.lastIndexOf(QLatin1Char('_')));
    QSoundPerform take;
    if (path.isEmpty() || !take.InitFilesZZ(takePath, QStringLiteral("WAV")))
        return 0;
    const int status = take.m_nTakeStatus;
    QSoundFile& member = take.m_SndFile[0];
    member.SetiXMLScene(0, typed, 0, false, {}, {});
    member.SetiXMLTake(0, QStringLiteral("t"), QStringLiteral("3"), 0);
    member.SetiXMLNote(0, typed);
    member.SetiXMLTape(0, typed);
    take.SetiXMLTrackName(0, typed);
    if (!member.InsertInBextDescr(typed, QStringLiteral("t"), QStringLiteral("3"), 0, typed, typed, typed, 0, typed))
        return 0;
    if (!take.UpdateiXMLChunk())
        __builtin_trap();

    QSoundPerform reloaded;
    if (!reloaded.InitFilesZZ(takePath, QStringLiteral("WAV")))
        __builtin_trap();
    // The samples' chunk lies after the fmt and bext chunks, of fixed sizes
    // (a search for its id could meet a description that holds it).
    const QByteArray audio = file.mid(12 + 8 + 16 + 8 + 602, 8 + 48 * 3);
    QFile saved(path);
    if (!audio.startsWith("data") || !saved.open(QIODevice::ReadOnly) || !saved.readAll().contains(audio))
        __builtin_trap();
    if (status != 0 && status != 5)
        return 0;
    // Blanks around a value are not kept; characters XML cannot hold are
    // replaced before that.
    const QString expected = XmlCharacters(typed.trimmed()).trimmed();
    const QSoundFile& own = reloaded.m_SndFile[0];
    if (reloaded.m_nTakeStatus != 0 || own.GetiXMLNotes().trimmed() != expected
        || own.GetiXMLScene().trimmed() != expected || own.GetiXMLTape().trimmed() != expected
        || reloaded.m_czTrackName[0].trimmed() != expected)
        __builtin_trap();
    return 0;
}
