#ifndef NALVO_TESTS_SUPPORT_LOCKLESSSHARE_H
#define NALVO_TESTS_SUPPORT_LOCKLESSSHARE_H

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

// One folder shared by two computers without locks between them: the
// folder under scratch mounted twice through the lockless pass-through
// (tests/support/locklessfuse_main.cpp, the program at tool), for the
// object's life. Each mount keeps its own folder locks; no file lock is
// kept by either. Needs FUSE (root, /dev/fuse). options go to both mounts
// (see the tool: a share refusing rename flags, numbering files anew,
// telling its times shifted).
class LocklessShare
{
public:
    LocklessShare(const QString& tool, const QString& scratch, const QStringList& options = {});
    ~LocklessShare();
    LocklessShare(const LocklessShare&) = delete;
    LocklessShare& operator=(const LocklessShare&) = delete;
    // The shared folder itself, and its two mounts (0, 1); all end in '/'.
    // Empty when mounting failed (Why() says where).
    QString Folder() const { return m_bMounted ? m_czFolder : QString(); }
    QString Mount(int computer) const { return m_bMounted ? m_czMounts[computer] : QString(); }
    QString Why() const { return m_czWhy; }

private:
    QString m_czFolder;
    QString m_czMounts[2];
    std::unique_ptr<QProcess> m_pServers[2];
    bool m_bMounted = false;
    QString m_czWhy;
};

// In a test function: a share that could not be mounted fails the test in
// CI, where it must be had, and skips it elsewhere.
#define NALVO_REQUIRE_LOCKLESS_SHARE(share)                                                                   \
    do {                                                                                                      \
        if ((share).Folder().isEmpty()) {                                                                     \
            if (!qEnvironmentVariableIsEmpty("CI"))                                                           \
                QFAIL(qPrintable("no lockless share: " + (share).Why()));                                     \
            QSKIP(qPrintable("no lockless share (needs FUSE, root and libfuse3): " + (share).Why()));         \
        }                                                                                                     \
    } while (false)

#endif
