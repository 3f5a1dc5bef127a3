#ifndef NALVO_TESTS_BROWSER_BROWSERTESTMEDIA_H
#define NALVO_TESTS_BROWSER_BROWSERTESTMEDIA_H

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QtTest>

#include "tests/support/scratchdir.h"

// A folder whose sub-folders are the browser's volumes for one test case;
// it goes with names that are not UTF-8 too.
class TestVolumesRoot
{
public:
    TestVolumesRoot()
    {
        qputenv("NALVO_VOLUMES_ROOT", m_Dir.path().toUtf8());
    }
    ~TestVolumesRoot() { qunsetenv("NALVO_VOLUMES_ROOT"); }

    QString path() const { return m_Dir.path(); }
    QString makeFolder(const QString& relative) const
    {
        const QString p = m_Dir.path() + QLatin1Char('/') + relative;
        QDir().mkpath(p);
        return p;
    }
    // Names classify, contents do not: a few bytes per file are enough here.
    QString makeFile(const QString& relative) const
    {
        const QString p = m_Dir.path() + QLatin1Char('/') + relative;
        QDir().mkpath(QFileInfo(p).path());
        QFile f(p);
        if (f.open(QIODevice::WriteOnly))
            f.write("RIFF");
        return p;
    }

private:
    fixture::ScratchDir m_Dir;
};

#endif
