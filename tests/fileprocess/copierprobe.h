#ifndef NALVO_TESTS_FILEPROCESS_COPIERPROBE_H
#define NALVO_TESTS_FILEPROCESS_COPIERPROBE_H

#include "fileprocess/qfilecopier.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QtTest>

// Records a copier's signals in arrival order, as short texts, and its
// errors; waits for the end of a batch.
struct CopierProbe {
    struct Err {
        int id;
        QFileCopier::Error error;
        bool stopped;
    };
    QStringList events;
    QList<Err> errors;
    int doneCount = 0;

    explicit CopierProbe(QFileCopier* copier)
    {
        QObject::connect(copier, &QFileCopier::stateChanged, copier,
                         [this](QFileCopier::State s) { events << QStringLiteral("state %1").arg(int(s)); });
        QObject::connect(copier, &QFileCopier::started, copier,
                         [this](int id) { events << QStringLiteral("started %1").arg(id); });
        QObject::connect(copier, &QFileCopier::finished, copier,
                         [this](int id, bool) { events << QStringLiteral("finished %1").arg(id); });
        QObject::connect(copier, &QFileCopier::error, copier, [this](int id, QFileCopier::Error e, bool stopped) {
            events << QStringLiteral("error %1 %2 %3").arg(id).arg(int(e)).arg(stopped);
            errors.append(Err{id, e, stopped});
        });
        QObject::connect(copier, &QFileCopier::done, copier, [this](bool e) {
            events << QStringLiteral("done %1").arg(e);
            ++doneCount;
        });
    }
    // Check doneCount afterwards: a QtTest macro cannot fail the caller from here.
    void WaitDone(int count = 1, int msecs = 20000)
    {
        QTRY_VERIFY_WITH_TIMEOUT(doneCount >= count, msecs);
    }
    QList<int> Codes() const
    {
        QList<int> codes;
        for (const Err& e : errors)
            codes << int(e.error);
        return codes;
    }
};

#endif
