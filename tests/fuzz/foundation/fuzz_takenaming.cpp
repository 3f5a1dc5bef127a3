// The take-naming rules on arbitrary names: every rule's split gives back
// the name it was given, and the path helpers stay within the text.
#include "foundation/qpath.h"
#include "foundation/takenaming.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString name = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    using namespace TakeNaming;
    for (Rule rule : {Rule::Browse, Rule::Load, Rule::Rename}) {
        const tyTrackName split = SplitTrackName(name, rule);
        const QString whole = split.bTrack ? split.czRoot + split.cSeparator + split.czTrack : split.czRoot;
        if (whole != name || (split.bTrack && !IsTrackSeparator(split.cSeparator)))
            __builtin_trap();
    }
    const tyTrackName path = SplitTrackName(name, Rule::Path);
    if (path.bTrack && !name.startsWith(path.czRoot + path.cSeparator + path.czTrack))
        __builtin_trap();
    QString take;
    if (ClassifyBaseName(name, &take) != FileKind::None && !name.startsWith(take))
        __builtin_trap();
    if (!name.startsWith(ListedTakeName(name)))
        __builtin_trap();
    const QPath qpath(name);
    qpath.GetRoot();
    qpath.GetSeparator();
    IsMonoFile(name);
    AudioPathFileShortenedToRacine(name);
    return 0;
}
