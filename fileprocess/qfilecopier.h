#ifndef NALVO_FILEPROCESS_QFILECOPIER_H
#define NALVO_FILEPROCESS_QFILECOPIER_H

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <climits>
#include <memory>

class QFileCopierPrivate;
class QFileCopierThread;
struct ProcessSettings;

// The queued copy engine. A caller on the GUI thread hands it lists of paths
// to copy, move, link or remove; a worker thread turns each into requests
// (one per file or folder, each with an id that stays valid for the life of
// the engine), runs them one after another and reports through signals,
// which arrive on the caller's thread. A copy may carry a process flag that
// turns it into an audio request on a take (stereo mixdown, interleave).
//
// Every new file appears under its final name complete or not at all: a
// cancel, a failure or a full disk leaves no partial file, and a replaced
// destination is replaced only when its new content is complete.
class QFileCopier : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int progressInterval READ progressInterval WRITE setProgressInterval)
    Q_PROPERTY(bool autoReset READ autoReset WRITE setAutoReset)
public:
    enum State {
        Idle = 0,
        Gathering = 1,
        Copying = 2,
        WaitingForInteraction = 3   // declared for callers; the worker never reports it
    };
    Q_ENUM(State)

    enum Error {
        NoError = 0,
        SourceNotExists = 1,
        DestinationExists = 2,
        DestinationAndSourceEqual = 3,
        CannotCreateDestinationDirectory = 4,
        CannotOpenSourceFile = 5,
        CannotOpenDestinationFile = 6,
        CannotRemoveDestinationFile = 7,
        CannotCreateSymLink = 8,
        CannotReadSourceFile = 9,
        CannotWriteDestinationFile = 10,
        CannotRemoveSource = 11,
        CannotRename = 12,
        Canceled = 13,
        ErrorNew = 14,
        ErrorAlloc = 15,
        ErrorInitFilesZZ = 16,   // the take could not be loaded
        ErrorInterleave = 17,
        ErrorMixdown = 18
    };
    Q_ENUM(Error)

    enum CopyFlag {
        NonInteractive = 0x1,
        Force = 0x2,
        FollowLinks = 0x8,
        CopyOnMove = 0x10,
        CopyInterleave = 0x20,
        CopyMixdown = 0x40,
        RenameTargetFolder = 0x80,
        ProcessMixdown = 0x100,
        ProcessInterleave = 0x200,
        ProcessInterleaveRotate = 0x400
    };
    Q_DECLARE_FLAGS(CopyFlags, CopyFlag)
    Q_FLAG(CopyFlags)

    explicit QFileCopier(QObject* parent = nullptr);
    // Takes a worker made by the caller (tests put a stand-in for the file
    // operations there); the engine owns it.
    QFileCopier(QFileCopierThread* worker, QObject* parent);
    ~QFileCopier() override;

    void copy(const QString& source, const QString& destination, CopyFlags flags = CopyFlags());
    void copy(const QStringList& sources, const QString& destination, CopyFlags flags = CopyFlags());
    // Nothing happens when the two lists differ in length.
    void copy(const QStringList& sources, const QStringList& destinations, CopyFlags flags = CopyFlags());
    void move(const QString& source, const QString& destination, CopyFlags flags = CopyFlags());
    void move(const QStringList& sources, const QString& destination, CopyFlags flags = CopyFlags());
    void link(const QString& source, const QString& destination, CopyFlags flags = CopyFlags());
    void link(const QStringList& sources, const QString& destination, CopyFlags flags = CopyFlags());
    void remove(const QString& path, CopyFlags flags = CopyFlags());
    void remove(const QStringList& paths, CopyFlags flags = CopyFlags());

    // The process settings of one take (take path: folder + take root, or a
    // poly file's path without its extension), used by the process requests
    // of that take. Set them before the copy that needs them; a take without
    // settings is processed with the player's defaults.
    void setProcessSettings(const QString& takePath, const ProcessSettings& settings);

    int currentId() const;
    QList<int> pendingRequests() const;
    QList<int> topRequests() const;
    QString sourceFilePath(int id) const;
    QString destinationFilePath(int id) const;
    bool isDir(int id) const;
    QList<int> entryList(int id) const;
    qint64 size(int id) const;
    int count() const;
    qint64 totalProgress() const;
    qint64 totalSize() const;
    State state() const;

    int progressInterval() const;
    void setProgressInterval(int msecs);
    bool autoReset() const;
    void setAutoReset(bool reset);

    // Blocks until the worker is idle with nothing queued, or the time runs
    // out; returns at once on an idle engine. True when the worker is idle.
    bool waitForFinished(unsigned long msecs = ULONG_MAX);

public slots:
    void cancelAll();
    void cancel(int id);
    void skip();
    void skipAll();
    void retry();
    void overwrite();
    void overwriteAll();
    void rename();
    void renameAll();
    void merge();
    void mergeAll();
    void resetSkip();
    void resetOverwrite();
    void reset();

signals:
    void error(int id, QFileCopier::Error error, bool stopped);
    void stateChanged(QFileCopier::State state);
    void done(bool error);
    void started(int id);
    void progress(qint64 progress, qint64 size, qint64 total_progress, qint64 total_size, int NbTotalTrack);
    void finished(int id, bool error);
    void canceled();

private:
    void Connect();
    std::unique_ptr<QFileCopierPrivate> d;
    friend class QFileCopierPrivate;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(QFileCopier::CopyFlags)

// One queued operation on one source path.
struct Task {
    enum Type { Copy = 0, Move = 1, Remove = 2, Link = 3 };
    Type type = Copy;
    QString source;
    QString destination;   // an existing folder or the full target; empty for Remove
    QFileCopier::CopyFlags flags;
};

// One file or folder to process; its id is its index in the worker's list.
struct Request {
    int type = -1;                // a Task::Type; -1 in the empty request
    QString source;               // absolute, cleaned
    QString destination;          // absolute, cleaned; empty for a removal
    QFileCopier::CopyFlags flags;
    bool isDir = false;
    QList<int> childRequests;
    qint64 size = 0;
    bool canceled = false;
    bool rename = false;
    bool overwrite = false;
    bool merge = false;
};

// The per-take choices of a process run. The defaults are the player's: 0 dB
// (step 4), both sides, nothing muted, no M/S decode, no rotation, no
// minimum, full interleave.
struct ProcessSettings {
    enum : int { kTracks = 24, kPairs = 12 };
    short volume[kTracks];        // gain step 0..8
    short pan[kTracks];           // routing code 0 left, 1 both, 2 right
    bool mute[kTracks];
    bool swapMS[kPairs];          // decode the pair as M/S
    int rotation[kTracks];        // output channel of the slot, -1 left out
    int minTrack = 0;
    bool compact = false;
    ProcessSettings();
};

Q_DECLARE_METATYPE(QFileCopier::State)
Q_DECLARE_METATYPE(QFileCopier::Error)

#endif
