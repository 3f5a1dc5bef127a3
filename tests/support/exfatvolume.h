#ifndef NALVO_TESTS_SUPPORT_EXFATVOLUME_H
#define NALVO_TESTS_SUPPORT_EXFATVOLUME_H

#include <QString>

// A fresh exFAT volume (the recorder's own file system: no hard links, no
// atomic no-replace rename) mounted for the object's life: an image under
// scratch, exfatprogs' mkfs, a loop device and exfat-fuse. Needs root.
class ExfatVolume
{
public:
    explicit ExfatVolume(const QString& scratch);
    ~ExfatVolume();
    ExfatVolume(const ExfatVolume&) = delete;
    ExfatVolume& operator=(const ExfatVolume&) = delete;
    // The mounted folder; empty when mounting failed (Why() says where).
    QString Path() const { return m_bMounted ? m_czFolder : QString(); }
    QString Why() const { return m_czWhy; }

private:
    QString m_czFolder;
    QString m_czLoop;
    bool m_bMounted = false;
    QString m_czWhy;
};

// In a test function: a volume that could not be mounted fails the test
// in CI, where it must be had, and skips it elsewhere.
#define NALVO_REQUIRE_EXFAT(volume)                                                                            \
    do {                                                                                                       \
        if ((volume) && (volume)->Path().isEmpty()) {                                                          \
            if (qgetenv("CI") == "true")                                                                       \
                QFAIL(qPrintable("no exFAT volume: " + (volume)->Why()));                                      \
            QSKIP(qPrintable("no exFAT volume (needs root, exfatprogs and exfat-fuse): " + (volume)->Why()));  \
        }                                                                                                      \
    } while (false)

#endif
