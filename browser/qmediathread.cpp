#include "browser/qmediathread.h"

#include "foundation/messageloging.h"
#include "foundation/platform/volumesource.h"

QMediaThread::QMediaThread(QObject* parent) : QThread(parent)
{
    start(QThread::InheritPriority);
}

QMediaThread::~QMediaThread()
{
    MyQDebug("~QMediaThread()");
    {
        QMutexLocker lock(&m_PauseMutex);
        m_bAbort = true;
        m_PauseWake.wakeAll();
    }
    wait();
    m_JoinMark.joined();
    MyQDebug("~QMediaThread()::OUT");
}

QStringList QMediaThread::currentVolumeTexts()
{
    QStringList texts;
    for (const tVolumeInfo& v : VolumeSource::current().volumes())
        texts.append(v.rootPath + QLatin1Char(';') + v.displayName);
    texts.sort(Qt::CaseSensitive);
    return texts;
}

bool QMediaThread::pollOnce()
{
    QStringList texts = currentVolumeTexts();
    if (texts == m_lLastVolumes)
        return false;
    m_lLastVolumes = std::move(texts);
    return true;
}

void QMediaThread::run()
{
    MyQDebug("QMediaThread():RUN");
    while (!m_bAbort) {
        if (pollOnce())
            emit signal_VolumesChanged();
        QMutexLocker lock(&m_PauseMutex);
        if (!m_bAbort)
            m_PauseWake.wait(&m_PauseMutex, 1000);
    }
    MyQDebug("QMediaThread::run() OUT");
    m_JoinMark.ended();
}
