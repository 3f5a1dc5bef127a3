#include "foundation/initext.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

QByteArray IniText(const QString& base, const std::function<void(QSettings&)>& fill, QString* why)
{
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        *why = QStringLiteral("No scratch folder could be made: %1").arg(scratch.errorString());
        return QByteArray();
    }
    const QString path = scratch.filePath(QStringLiteral("settings.ini"));
    {
        QSettings file(path, QSettings::IniFormat);
        if (!base.isEmpty()) {
            const QSettings old(base, QSettings::IniFormat);
            for (const QString& key : old.allKeys())
                file.setValue(key, old.value(key));
        }
        fill(file);
        file.sync();
        if (file.status() != QSettings::NoError) {
            *why = QStringLiteral("The settings could not be put together in a scratch file.");
            return QByteArray();
        }
    }
    QFile written(path);
    QByteArray text;
    if (written.open(QIODevice::ReadOnly))
        text = written.readAll();
    if (text.isEmpty())
        *why = QStringLiteral("The settings could not be read back from their scratch file.");
    return text;
}
