#ifndef NALVO_MAINWINDOW_COPYCOMPARISON_H
#define NALVO_MAINWINDOW_COPYCOMPARISON_H

#include <QList>
#include <QPair>
#include <QString>

#include <atomic>
#include <functional>
#include <thread>

// The sound of the shown take's namesakes compared with their members'
// (SameSound) on a thread of its own, so that the window answers while two
// whole files are read: the files are opened read-only, and no lock of the
// take's folder is held meanwhile. One comparison runs at a time.
class CopyComparison
{
public:
    // Called on the comparing thread with each pair's finding; never for a
    // pair whose comparison was stopped.
    using Found = std::function<void(const QString& name, const QString& member, bool copy)>;

    CopyComparison() = default;
    // Stops it and joins its thread.
    ~CopyComparison();
    CopyComparison(const CopyComparison&) = delete;
    CopyComparison& operator=(const CopyComparison&) = delete;

    // Stops the one running, then compares each pair (namesake, member:
    // paths) in turn.
    void Start(const QList<QPair<QString, QString>>& pairs, Found found);
    // Stops it and joins its thread, which ends within a block read of each
    // file. Nothing is found after it returns.
    void Stop();

    // Tests: gate, when set, is called on the comparing thread before each
    // pair is read, with the flag that stops it (null: none).
    using Gate = void (*)(const std::atomic<bool>& stop);
    static void SetGate(Gate gate);

private:
    void Run(const QList<QPair<QString, QString>>& pairs, const Found& found);

    // Written by the window's thread (Start, Stop), read by the comparing thread.
    std::atomic<bool> m_bStop{false};
    std::thread m_Thread;
};

#endif
