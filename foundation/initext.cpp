#include "foundation/initext.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>

namespace {

// A value as set against the same value read back from the text:
// QSettings reads a number or a flag back as its text, and a list of one
// item as that item.
bool SameValue(const QVariant& set, const QVariant& read)
{
    if (set.userType() == read.userType())
        return set == read;
    if (set.userType() == QMetaType::QStringList || read.userType() == QMetaType::QStringList)
        return set.toStringList() == read.toStringList();
    return set.toString() == read.toString();
}

// Empty when the settings at path hold every key of expected with its
// value and no other; else where they first differ.
QString FirstDifference(const QSettings& expected, const QString& path)
{
    const QSettings read(path, QSettings::IniFormat);
    if (read.status() != QSettings::NoError)
        return QStringLiteral("its ini format");
    const QStringList keys = expected.allKeys();
    for (const QString& key : keys) {
        if (!read.contains(key) || !SameValue(expected.value(key), read.value(key)))
            return QStringLiteral("the key ") + key;
    }
    const QStringList readKeys = read.allKeys();
    if (readKeys.size() != keys.size()) {
        for (const QString& key : readKeys)
            if (!expected.contains(key))
                return QStringLiteral("the key ") + key;
    }
    return QString();
}

}  // namespace

QByteArray IniText(const QString& base, const std::function<void(QSettings&)>& fill, QString* why)
{
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        *why = QStringLiteral("no scratch folder could be made: %1").arg(scratch.errorString());
        return QByteArray();
    }
    const QString path = scratch.filePath(QStringLiteral("settings.ini"));
    const QString check = scratch.filePath(QStringLiteral("check.ini"));
    QSettings file(path, QSettings::IniFormat);
    if (!base.isEmpty()) {
        const QSettings old(base, QSettings::IniFormat);
        for (const QString& key : old.allKeys())
            file.setValue(key, old.value(key));
    }
    fill(file);
    file.sync();
    if (file.status() != QSettings::NoError) {
        *why = QStringLiteral("the settings could not be put together in a scratch file");
        return QByteArray();
    }
    // QSettings tells a write the volume cut short as done, and keeps
    // what it meant to write for a later reader of the same name: the text
    // is read under a name of its own, and every key compared with what
    // was set.
    QByteArray text;
    if (QFile::rename(path, check)) {
        QFile written(check);
        if (written.open(QIODevice::ReadOnly))
            text = written.readAll();
    }
    if (text.isEmpty()) {
        *why = QStringLiteral("the settings could not be read back from their scratch file");
        return QByteArray();
    }
    const QString differs = FirstDifference(file, check);
    if (!differs.isEmpty()) {
        *why = QStringLiteral("the settings put together in a scratch file under %1 read back otherwise, first at "
                              "%2, and that folder may be full")
                   .arg(QDir::toNativeSeparators(QDir::tempPath()), differs);
        return QByteArray();
    }
    return text;
}
