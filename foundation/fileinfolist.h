#ifndef NALVO_FOUNDATION_FILEINFOLIST_H
#define NALVO_FOUNDATION_FILEINFOLIST_H

#include <QString>
#include <QStringList>
#include <QVector>
#include <QtGlobal>

#include <atomic>
#include <cstddef>
#include <functional>

// A sorted listing of one folder's entries whose names end with given endings.
class MyFileInfoList
{
public:
    MyFileInfoList();
    ~MyFileInfoList();

    // Replaces the listing with the folder's entries ("." and ".." excluded)
    // whose names are longer than one of the endings and end with it, compared
    // with case (".wav" does not match ".WAV"), sorted byte-wise by their names
    // in the local 8-bit encoding. With sizes, each size and the total are
    // gathered. The abort flag (may be null; another thread may set it) is
    // polled once per entry and ends the listing early.
    // Returns 0 when complete (a missing folder gives an empty listing), 1 when
    // aborted (the entries found so far stay, sorted).
    int LoadEntryInfoList(const QString& folder, const QStringList& endings, bool withSizes, bool* abort);
    // The same, polling a worker's atomic stop flag (may be null).
    int LoadEntryInfoList(const QString& folder, const QStringList& endings, bool withSizes,
                          const std::atomic<bool>* abort);
    int LoadEntryInfoList(const QString& folder, const QStringList& endings, bool withSizes, std::nullptr_t)
    {
        return LoadEntryInfoList(folder, endings, withSizes, static_cast<bool*>(nullptr));
    }

    int count() const;
    // Empty when i is out of range.
    QString GetFileName(int i) const;
    // The absolute path of the folder holding entry i; empty when out of range.
    QString GetAbsolutePath(int i) const;
    // 0 when out of range or listed without sizes.
    qint64 GetFileSize(int i) const;
    qint64 GetTotalSize() const;

    // The take names in listing order, one per 6-character take id (the
    // first entry of each id): the name cut before its track suffix ("_01.WAV"),
    // mix suffix ("MX.WAV") or poly suffix ("PX.WAV"); a name with none of
    // them loses only ".WAV".
    QStringList GetFileList() const;

    // Index of the first entry whose name starts with the 6-character take id; -1 when none.
    int FindFileId(const QString& id6) const;

private:
    int LoadEntries(const QString& folder, const QStringList& endings, bool withSizes,
                    const std::function<bool()>& aborted);

    struct tEntry
    {
        QString name;
        QByteArray sortKey;
        qint64 size = 0;
    };

    QString m_czFolder;
    QVector<tEntry> m_ltEntries;
    qint64 m_nTotalSize = 0;
};

#endif
