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
        // as the browser leaves it out and says why.
        QByteArray encoded = QFile::encodeName(name);
        if (encoded != systemName)
            return true;
        tEntry entry;
        entry.name = name;
        // The name's local 8-bit bytes, as the file system holds them.
        entry.sortKey = std::move(encoded);
        if (withSizes) {
            entry.size = QFileInfo(m_czFolder + QLatin1Char('/') + name).size();
            m_nTotalSize += entry.size;
        }
        m_ltEntries.append(entry);
        return true;
    });
    if (result == 0)
        sweep.Finish();
    std::sort(m_ltEntries.begin(), m_ltEntries.end(),
              [](const tEntry& a, const tEntry& b) {
                  const int order = a.sortKey.compare(b.sortKey);
                  return order != 0 ? order < 0 : a.name < b.name;
              });
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
