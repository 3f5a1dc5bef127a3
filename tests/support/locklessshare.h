#ifndef NALVO_TESTS_SUPPORT_LOCKLESSSHARE_H
#define NALVO_TESTS_SUPPORT_LOCKLESSSHARE_H

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

// One folder shared by two computers: the folder under scratch mounted
// twice through a FUSE volume, each mount one computer, for the object's
// life. Needs FUSE (root, /dev/fuse).
class TwoMountShare
{
public:
    virtual ~TwoMountShare();
    TwoMountShare(const TwoMountShare&) = delete;
    TwoMountShare& operator=(const TwoMountShare&) = delete;
    // The shared folder itself, and its two mounts (0, 1); all end in '/'.
    // Empty when mounting failed (Why() says where).
    QString Folder() const { return m_bMounted ? m_czFolder + m_czRoom : QString(); }
    QString Mount(int computer) const { return m_bMounted ? m_czMounts[computer] + m_czRoom : QString(); }
    QString Why() const { return m_czWhy; }
    // For a share that serves one use after another: a folder of its own
    // on the share (made now, under the root), which Folder() and Mount()
    // name from now on; false when it could not be made.
    bool Enter(const QString& room);
    // Both mounts are there and their programs run.
    bool Serving() const;

protected:
    explicit TwoMountShare(const QString& scratch);
    // Runs program (it serves mount i until unmounted) and waits for the
    // mount; false with Why() set when it did not come.
    bool StartMount(int computer, const QString& program, const QStringList& arguments);
    // Unmounts both and waits for their programs to end.
    void StopMounts();

    const QString m_czScratch;
    QString m_czFolder, m_czRoom;
    QString m_czMounts[2];
    std::unique_ptr<QProcess> m_pServers[2];
    bool m_bMounted = false;
    QString m_czWhy;
};

// A share that keeps no locks between its computers: the folder mounted
// through the lockless pass-through (tests/support/locklessfuse_main.cpp,
// the program at tool). Each mount keeps its own folder locks; no file lock
// is kept by either, or with "--own-locks" each keeps its own, as sshfs
// does. options go to both mounts (see the tool: a share refusing rename
// flags, numbering files anew, telling its times shifted, answering late).
class LocklessShare : public TwoMountShare
{
public:
    LocklessShare(const QString& tool, const QString& scratch, const QStringList& options = {});
};

// In a test function: a share that could not be mounted fails the test in
// CI, where it must be had, and skips it elsewhere.
#define NALVO_REQUIRE_LOCKLESS_SHARE(share)                                                                   \
    do {                                                                                                      \
        if ((share).Folder().isEmpty()) {                                                                     \
            if (!qEnvironmentVariableIsEmpty("CI"))                                                           \
                QFAIL(qPrintable("no shared folder: " + (share).Why()));                                      \
            QSKIP(qPrintable("no shared folder (needs FUSE and root): " + (share).Why()));                    \
        }                                                                                                     \
    } while (false)

#endif
