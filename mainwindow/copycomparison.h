#ifndef NALVO_MAINWINDOW_COPYCOMPARISON_H
#define NALVO_MAINWINDOW_COPYCOMPARISON_H

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

#include <atomic>
#include <mutex>
#include <thread>

// The sound of the shown take's namesakes compared with their members'
// (SameSound) on a thread of its own, so that the window answers while two
// whole files are read: the files are opened read-only, and no lock of the
// take's folder is held meanwhile. One comparison runs at a time.
class CopyComparison : public QObject
{
    Q_OBJECT
public:
    struct tyFinding {
        QString czName;     // the namesake's path
        QString czMember;   // its member's
        bool bCopy = false;
    };

    CopyComparison() = default;
    // Stops it and joins its thread.
    ~CopyComparison() override;

    // Stops the one running, then compares each pair (namesake, member:
    // paths) in turn.
    void Start(const QList<QPair<QString, QString>>& pairs);
    // Stops it and joins its thread, which ends within a block read of each
    // file; the findings not taken yet are dropped.
    void Stop();
    // The findings that wait, oldest first.
    QList<tyFinding> TakeFindings();

    // Tests: gate, when set, is called on the comparing thread before each
    // pair is read, with the flag that stops it (null: none).
    using Gate = void (*)(const std::atomic<bool>& stop);
    static void SetGate(Gate gate);

signals:
    // A finding waits (TakeFindings); received on the owner's thread.
    void signal_Found(QPrivateSignal);

private:
    void Run(const QList<QPair<QString, QString>>& pairs);

    // Written by the owner's thread (Start, Stop), read by the comparing thread.
    std::atomic<bool> m_bStop{false};
    // The comparing thread appends, the owner's thread takes; under
    // m_OutboxMutex. The findings travel here and not as queued signal
    // arguments, which the thread checker cannot see handed over.
    std::mutex m_OutboxMutex;
    QList<tyFinding> m_Outbox;
    std::thread m_Thread;
};

#endif
