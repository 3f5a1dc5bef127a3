#ifndef NALVO_FOUNDATION_INITEXT_H
#define NALVO_FOUNDATION_INITEXT_H

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

// The keys of an ini settings file as a writer sets them, in groups as
// QSettings takes them: a key set inside beginGroup("A") is "A/key".
class IniKeys
{
public:
    void beginGroup(const QString& prefix) { m_lczGroups.append(prefix); }
    void endGroup() { m_lczGroups.removeLast(); }
    void setValue(const QString& key, const QVariant& value);
    // Every key with its value, by its whole name.
    const QMap<QString, QVariant>& All() const { return m_Keys; }

private:
    QStringList m_lczGroups;
    QMap<QString, QVariant> m_Keys;
};

// The text of an ini settings file, byte for byte as QSettings writes it
// for the same keys (sections and keys in name order, values in its
// notation and escapes), put together in memory: the file itself is then
// replaced whole through the disk calls (ReplaceFileWhole), so that only
// its own volume decides whether the settings are kept, and QSettings'
// own save, which reports success after a write the volume refused, is
// not used. base, when not empty, is an ini file whose keys the text
// starts from (a missing one holds none); fill sets the keys.
QByteArray IniText(const QString& base, const std::function<void(IniKeys&)>& fill);

#endif
