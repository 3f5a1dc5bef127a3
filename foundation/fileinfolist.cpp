#include "foundation/fileinfolist.h"

#include "foundation/platform/foldernames.h"
#include "foundation/safeoutput.h"
#include "foundation/takenaming.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

namespace {
bool MatchesAnEnding(const QString& name, const QStringList& endings)
{
    for (const QString& ending : endings) {
        if (name.size() > ending.size() && name.endsWith(ending, Qt::CaseSensitive))
            return true;
    }
    return false;
}

// The entries in the order of their sort keys' bytes, then of their names.
// Most keys differ in their first sixteen bytes: those are packed into two
// integers and compared as such, and whole keys only where they are equal.
template <typename Entry>
void SortByKeys(QVector<Entry>* entries)
{
    struct tyPrefix {
        quint64 nHigh = 0;
        quint64 nLow = 0;
        int nIndex = 0;
    };
    std::vector<tyPrefix> order(size_t(entries->size()));
    for (int i = 0; i < entries->size(); ++i) {
        const QByteArray& key = entries->at(i).sortKey;
        tyPrefix& prefix = order[size_t(i)];
        prefix.nIndex = i;
        // Big-endian, zero after the key's end (no name holds a zero byte):
        // the integers order as the bytes do.
        for (int b = 0; b < 16; ++b) {
            const quint64 byte = b < key.size() ? static_cast<unsigned char>(key.at(b)) : 0;
            (b < 8 ? prefix.nHigh : prefix.nLow) |= byte << (8 * (7 - b % 8));
        }
    }
    const Entry* const listed = entries->constData();
    std::sort(order.begin(), order.end(), [listed](const tyPrefix& a, const tyPrefix& b) {
        if (a.nHigh != b.nHigh)
            return a.nHigh < b.nHigh;
        if (a.nLow != b.nLow)
            return a.nLow < b.nLow;
        const Entry& x = listed[a.nIndex];
        const Entry& y = listed[b.nIndex];
        const int byKey = x.sortKey.compare(y.sortKey);
        return byKey != 0 ? byKey < 0 : x.name < y.name;
    });
    QVector<Entry> sorted;
    sorted.reserve(entries->size());
    for (const tyPrefix& prefix : order)
        sorted.append(std::move((*entries)[prefix.nIndex]));
    entries->swap(sorted);
}

bool AbortRequested(bool* abort)
{
    // The flag is a plain bool in the callers' interface but is set by
    // another thread: read it atomically.
    return abort && __atomic_load_n(abort, __ATOMIC_ACQUIRE);
}

}

MyFileInfoList::MyFileInfoList() = default;
MyFileInfoList::~MyFileInfoList() = default;

int MyFileInfoList::LoadEntryInfoList(const QString& folder, const QStringList& endings, bool withSizes,
                                      bool* abort)
{
    return LoadEntries(folder, endings, withSizes, [abort] { return AbortRequested(abort); });
}

int MyFileInfoList::LoadEntryInfoList(const QString& folder, const QStringList& endings, bool withSizes,
                                      const std::atomic<bool>* abort)
{
    return LoadEntries(folder, endings, withSizes,
                       [abort] { return abort && abort->load(std::memory_order_acquire); });
}

int MyFileInfoList::LoadEntries(const QString& folder, const QStringList& endings, bool withSizes,
                                const std::function<bool()>& aborted)
{
    m_ltEntries.clear();
    m_nTotalSize = 0;
    m_czFolder.clear();
    const QFileInfo folderInfo(folder);
    if (folder.isEmpty() || !folderInfo.isDir())
        return 0;
    m_czFolder = folderInfo.absoluteFilePath();

    int result = 0;
    // What a killed copy into the folder left goes with this visit, found
    // among the names read here anyway.
    FolderSweep sweep(m_czFolder);
    VisitEntryNames(m_czFolder, [&](const char* systemName) {
        if (aborted()) {
            result = 1;
            return false;
        }
        sweep.Offer(systemName);
        const QString name = QFile::decodeName(systemName);
        if (!MatchesAnEnding(name, endings))
            return true;
        // A name that is not valid UTF-8 decodes to another name (U+FFFD for
        // its stray bytes), which opens no file: such an entry is left out,
        // as the browser leaves it out and says why. A name of ASCII alone
        // decodes to itself.
        const char* c = systemName;
        while (static_cast<unsigned char>(*c) < 0x80 && *c)
            ++c;
        QByteArray encoded = *c ? QFile::encodeName(name) : QByteArray(systemName, int(c - systemName));
        if (*c && encoded != systemName)
            return true;
        tEntry entry;
        entry.name = name;
        // The name's local 8-bit bytes, as the file system holds them.
        entry.sortKey = std::move(encoded);
        if (withSizes) {
            entry.size = QFileInfo(m_czFolder + QLatin1Char('/') + name).size();
            m_nTotalSize += entry.size;
        }
        m_ltEntries.append(std::move(entry));
        return true;
    });
    if (result == 0)
        sweep.Finish();
    SortByKeys(&m_ltEntries);
    return result;
}

int MyFileInfoList::count() const { return m_ltEntries.size(); }

QString MyFileInfoList::GetFileName(int i) const
{
    return i >= 0 && i < m_ltEntries.size() ? m_ltEntries.at(i).name : QString();
}

QString MyFileInfoList::GetAbsolutePath(int i) const
{
    return i >= 0 && i < m_ltEntries.size() ? m_czFolder : QString();
}

qint64 MyFileInfoList::GetFileSize(int i) const
{
    return i >= 0 && i < m_ltEntries.size() ? m_ltEntries.at(i).size : 0;
}

qint64 MyFileInfoList::GetTotalSize() const { return m_nTotalSize; }

QStringList MyFileInfoList::GetFileList() const
{
    QStringList names;
    QSet<QString> seenIds;
    for (const tEntry& entry : m_ltEntries) {
        const QString id = entry.name.left(6);
        if (seenIds.contains(id))
            continue;
        seenIds.insert(id);
        names.append(TakeNaming::ListedTakeName(entry.name));
    }
    return names;
}

int MyFileInfoList::FindFileId(const QString& id6) const
{
    if (id6.isEmpty())
        return -1;
    // The entries are sorted by their bytes, so the names starting with the
    // id stand together from the first one not below it: a day of thousands
    // of files is searched per take without a walk from the top.
    const QByteArray key = id6.toLocal8Bit();
    const auto first = std::lower_bound(m_ltEntries.cbegin(), m_ltEntries.cend(), key,
                                        [](const tEntry& entry, const QByteArray& k) { return entry.sortKey < k; });
    for (auto it = first; it != m_ltEntries.cend() && it->sortKey.startsWith(key); ++it) {
        if (it->name.startsWith(id6))
            return int(it - m_ltEntries.cbegin());
    }
    return -1;
}
