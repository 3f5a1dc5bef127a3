#ifndef NALVO_TESTS_SOUNDFILE_SOUNDFILETESTHELPERS_H
#define NALVO_TESTS_SOUNDFILE_SOUNDFILETESTHELPERS_H

#include "foundation/messageloging.h"
#include "soundfile/soundfile.h"
#include "tests/support/riffreader.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>

// Collects what is sent on the message channel during a test.
class MessageCatcher
{
public:
    MessageCatcher() : m_Spy(&m_Logger, &MessageLoging::signal_message) {}
    int Count() const { return m_Spy.count(); }
    QString Title(int i) const { return m_Spy.at(i).at(0).toString(); }
    QString Text(int i) const { return m_Spy.at(i).at(1).toString(); }
    QString LastText() const { return m_Spy.isEmpty() ? QString() : Text(m_Spy.count() - 1); }
    void Clear() { m_Spy.clear(); }

private:
    MessageLoging m_Logger;
    QSignalSpy m_Spy;
};

inline QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// MD5 of the data chunk's payload, read by the independent reader.
inline QByteArray AudioMd5(const QString& path)
{
    const fixture::RiffInfo info = fixture::ReadRiffFile(path);
    return QCryptographicHash::hash(info.data, QCryptographicHash::Md5).toHex();
}

// Output of a tool that exited with 0; a null text when it is missing or failed.
inline QString RunTool(const QString& program, const QStringList& arguments)
{
    if (QStandardPaths::findExecutable(program).isEmpty())
        return QString();
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Phase 1 of renumbering on each file (index = its place in the list); the
// temporary names of those that succeeded, in order.
inline QStringList RotateEach(QSoundFile& file, const QStringList& paths, short shift, QString* texts)
{
    QStringList temporary;
    for (int t = 0; t < paths.size(); ++t) {
        QString name;
        if (file.Rotate(paths.at(t), &name, short(t), shift, true, &texts[t]))
            temporary.append(name);
    }
    return temporary;
}

inline bool HaveTool(const QString& program)
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

#endif
