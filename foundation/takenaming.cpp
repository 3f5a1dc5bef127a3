#include "foundation/takenaming.h"

#include "foundation/naming.h"

namespace TakeNaming {

namespace {

tyTrackName Cut(const QString& name, int separator, int suffixEnd)
{
    tyTrackName split;
    split.bTrack = true;
    split.czRoot = name.left(separator);
    split.cSeparator = name.at(separator);
    split.czTrack = name.mid(separator + 1, suffixEnd - separator - 1);
    return split;
}

// The size of a name's root by the browser's rule: before a separator and
// one or two digits; -1 when the name has no such suffix.
int BrowseRootSize(QStringView name)
{
    const int n = int(name.size());
    if (n >= 2 && name.at(n - 1).isDigit()) {
        if (n >= 3 && name.at(n - 2).isDigit() && IsTrackSeparator(name.at(n - 3)))
            return n - 3;
        if (IsTrackSeparator(name.at(n - 2)))
            return n - 2;
    }
    return -1;
}

tyTrackName SplitBrowse(const QString& name)
{
    const int root = BrowseRootSize(name);
    if (root >= 0)
        return Cut(name, root, name.size());
    tyTrackName none;
    none.czRoot = name;
    return none;
}

bool IsLoadTwoDigits(const QString& text)
{
    if (text.size() != 2 || !text.at(0).isDigit() || !text.at(1).isDigit())
        return false;
    const int track = text.toInt();
    return track >= 1 && track <= 24;
}

bool IsLoadOneCharacter(QChar c)
{
    return (c >= QLatin1Char('1') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('O'));
}

tyTrackName SplitLoad(const QString& name)
{
    const int n = name.size();
    if (n >= 4 && IsTrackSeparator(name.at(n - 3)) && IsLoadTwoDigits(name.right(2)))
        return Cut(name, n - 3, n);
    if (n >= 3 && IsTrackSeparator(name.at(n - 2)) && IsLoadOneCharacter(name.at(n - 1)))
        return Cut(name, n - 2, n);
    tyTrackName none;
    none.czRoot = name;
    return none;
}

// A '_' before two characters is a two-digit suffix whatever they are, as
// the recorder's earliest names had it; the other separators need two digits.
tyTrackName SplitPath(const QString& path)
{
    const int n = path.size();
    tyTrackName none;
    none.czRoot = path;
    if (n < 7)
        return none;
    const int extension = n - 4;
    const QChar beforeTwo = path.at(n - 7);
    if (beforeTwo == QLatin1Char('_')
        || (IsTrackSeparator(beforeTwo) && path.at(n - 6).isDigit() && path.at(n - 5).isDigit()))
        return Cut(path, n - 7, extension);
    if (IsTrackSeparator(path.at(n - 6)))
        return Cut(path, n - 6, extension);
    return none;
}

tyTrackName SplitRename(const QString& name)
{
    for (int i = name.size() - 1; i >= 0 && i >= name.size() - 3; --i) {
        if (IsTrackSeparator(name.at(i)))
            return Cut(name, i, name.size());
    }
    tyTrackName none;
    none.czRoot = name;
    return none;
}

bool EndsWithPair(QStringView name, QChar first, const char* seconds)
{
    const int n = int(name.size());
    if (n < 2 || name.at(n - 2).toUpper() != first)
        return false;
    const QChar last = name.at(n - 1).toUpper();
    for (const char* c = seconds; *c; ++c) {
        if (last == QLatin1Char(*c))
            return true;
    }
    return false;
}

bool IsMixBase(QStringView base)
{
    return EndsWithPair(base, QLatin1Char('M'), "X") || EndsWithPair(base, QLatin1Char('Q'), "X");
}

} // namespace

bool IsTrackSeparator(QChar c)
{
    return c == QLatin1Char('#') || c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('_');
}

tyTrackName SplitTrackName(const QString& name, Rule rule)
{
    switch (rule) {
    case Rule::Browse: return SplitBrowse(name);
    case Rule::Load: return SplitLoad(name);
    case Rule::Path: return SplitPath(name);
    case Rule::Rename: return SplitRename(name);
    }
    return tyTrackName();
}

int LoadTrackSlot(QStringView baseName, int* suffixSize)
{
    // As SplitLoad cuts, without making the parts: asked of every listed name.
    const int n = int(baseName.size());
    const auto ascii = [&baseName](int i) { return baseName.at(i).unicode(); };
    if (n >= 4 && IsTrackSeparator(baseName.at(n - 3)) && ascii(n - 2) >= '0' && ascii(n - 2) <= '9'
        && ascii(n - 1) >= '0' && ascii(n - 1) <= '9') {
        const int track = (ascii(n - 2) - '0') * 10 + (ascii(n - 1) - '0');
        if (track >= 1 && track <= 24) {
            if (suffixSize)
                *suffixSize = 3;
            return track - 1;
        }
    }
    if (n >= 3 && IsTrackSeparator(baseName.at(n - 2)) && IsLoadOneCharacter(baseName.at(n - 1))) {
        if (suffixSize)
            *suffixSize = 2;
        return ascii(n - 1) <= '9' ? ascii(n - 1) - '1' : 9 + (ascii(n - 1) - 'A');
    }
    return -1;
}

FileKind ClassifyBaseName(QStringView baseName, QString* take)
{
    // Asked of every listed name: only the take name is made.
    FileKind kind = FileKind::None;
    const int root = BrowseRootSize(baseName);
    if (root >= 0)
        kind = FileKind::Mono;
    else if (IsMixBase(baseName))
        kind = FileKind::Mix;
    else if (EndsWithPair(baseName, QLatin1Char('P'), "NRXS"))
        kind = FileKind::Poly;
    if (take)
        *take = kind == FileKind::None ? QString() : baseName.left(root >= 0 ? root : baseName.size()).toString();
    return kind;
}

QString ListedTakeName(const QString& fileName)
{
    // The listing holds names with the ".WAV" ending; the suffix rules look
    // at what stands before its last four characters.
    const int n = fileName.size();
    if (n >= 4 && fileName.right(3).compare(QLatin1String("WAV"), Qt::CaseInsensitive) == 0) {
        const QString base = fileName.left(n - 4);
        const tyTrackName mono = SplitBrowse(base);
        if (mono.bTrack)
            return mono.czRoot;
        if (IsMixBase(base) || EndsWithPair(base, QLatin1Char('P'), "NRX"))
            return base.left(base.size() - 2);
        if (fileName.at(n - 4) == QLatin1Char('.'))
            return base;
    }
    return fileName;
}

bool IsRecorderTakeName(QStringView baseName)
{
    // Asked of every listed name: nothing is made of it.
    constexpr int kIdLength = 6;
    if (baseName.size() <= kIdLength)
        return false;
    static const QStringList kKinds{QStringLiteral("PN"), QStringLiteral("PR"), QStringLiteral("PX"),
                                    QStringLiteral("PS"), QStringLiteral("P7"), QStringLiteral("MX"),
                                    QStringLiteral("Q7"), QStringLiteral("QX"), QStringLiteral("S7"),
                                    QStringLiteral("SX")};
    const QStringView rest = baseName.mid(kIdLength);
    if (rest.size() == 2 && kKinds.contains(rest))
        return true;
    if (rest.startsWith(QLatin1String("==")) || rest.startsWith(QLatin1String("__")))
        return true;
    // The root the loader's rule cuts (SplitLoad) is the identifier.
    int suffix = 0;
    return LoadTrackSlot(baseName, &suffix) >= 0 && baseName.size() - suffix == kIdLength;
}

const QList<QChar>& LoadSeparators()
{
    static const QList<QChar> separators{QLatin1Char('_'), QLatin1Char('-'), QLatin1Char('#'), QLatin1Char('+')};
    return separators;
}

QStringList LoadTrackForms(int slot)
{
    return {QString::fromLatin1(TrkIndexToNN(slot + 1)), QString(QLatin1Char(TrkIndexToCharOld(slot + 1)))};
}

} // namespace TakeNaming
