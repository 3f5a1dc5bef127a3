#ifndef NALVO_TESTS_SUPPORT_FULLVOLUME_H
#define NALVO_TESTS_SUPPORT_FULLVOLUME_H

#include <QString>
#include <functional>

namespace fixture {

// Runs work(folder) where writing more than about `capacity` bytes into one
// file fails as on a full card. As root: a tmpfs of that size mounted on a
// fresh folder under scratch (unmounted afterwards). Otherwise, or when the
// mount is refused: scratch itself, with RLIMIT_FSIZE at capacity in a forked
// child (SIGXFSZ ignored, so the write fails with EFBIG). Returns work's
// result; *how names the method used.
bool RunOnFullVolume(const QString& scratch, qint64 capacity,
                     const std::function<bool(const QString& folder)>& work, QString* how);

}  // namespace fixture

#endif
