#ifndef NALVO_TESTS_SUPPORT_SSHFSSHARE_H
#define NALVO_TESTS_SUPPORT_SSHFSSHARE_H

#include "tests/support/locklessshare.h"

#include <memory>
#include <vector>

// Two computers on one folder through sshfs: a private OpenSSH server on
// the loopback (a free port, its host key, the client's key, its own
// configuration, all under scratch/sshd/; in a mount namespace of its own,
// so its privilege separation folder is made nowhere else) serves the
// folder, and sshfs mounts it twice, options (sshfs -o) given to both. Each
// mount keeps its own locks, and sshfs caches names and file attributes as
// a network volume does. Needs root, FUSE, sshd, ssh-keygen, sshfs and
// unshare; the mounts and the server are gone with the object.
class SshfsShare : public TwoMountShare
{
public:
    SshfsShare(const QString& scratch, const QStringList& options = {});
    ~SshfsShare() override;

private:
    // Empty when the server and its keys are ready; else why not.
    QString StartServer(const QString& folder, int port);

    std::unique_ptr<QProcess> m_pServer;
};

// The sshfs pairs the rows of a program share, one per set of options:
// the server and the mounts start at the first row that needs them and
// serve the next ones, each row in a folder of its own on the share (a pair
// found no longer serving is made anew). All are gone with the object; a
// killed program's go with their scratch folders (see fixture::ScratchDir).
class SshfsPairs
{
public:
    SshfsPairs();
    ~SshfsPairs();
    SshfsPairs(const SshfsPairs&) = delete;
    SshfsPairs& operator=(const SshfsPairs&) = delete;

    // The pair of these options, in a new folder of its own (see
    // TwoMountShare::Enter); its Why() says what failed.
    TwoMountShare& Enter(const QStringList& options);

private:
    struct Pair;
    std::vector<std::unique_ptr<Pair>> m_Pairs;
    int m_nRooms = 0;
};

#endif
