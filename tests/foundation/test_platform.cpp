#include "foundation/fileutil.h"
#include "foundation/messageloging.h"
#include "foundation/platform/appfolders.h"
#include "foundation/platform/desktopshell.h"
#include "foundation/platform/diskcalls.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/platform/volumesource.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <unistd.h>
#include <vector>

class MessageReceiver : public QObject
{
    Q_OBJECT
public slots:
    void slot_message(QString title, QString text, int code, int level, bool flag, int timeout)
    {
        m_pThread = QThread::currentThread();
        m_czText = text;
        m_nTimeout = timeout;
    }

public:
    QThread* m_pThread = nullptr;
    QString m_czText;
    int m_nTimeout = -1;
};

class TestPlatform : public QObject
{
    Q_OBJECT
private slots:
    void volumesFromEnvironment();
    void browsableSystemVolumes();
    void stripVolumesRoot();
    void appFoldersOverride();
    void appleScriptEscaping();
    void messageFromWorkerIsQueued();
    void diskSyncOfFilesAndFolder();
    void diskCallsFailAsPlanned();
};

void TestPlatform::volumesFromEnvironment()
{
    QTemporaryDir root;
    for (const char* name : {"CARD_B", "CARD_A", ".hidden"})
        QVERIFY(QDir().mkpath(root.path() + "/" + name));
    QFile plain(root.path() + "/file.txt");
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();

    qputenv("NALVO_VOLUMES_ROOT", root.path().toLocal8Bit());
    const QList<tVolumeInfo> volumes = VolumeSource::current().volumes();
    QCOMPARE(VolumeSource::current().volumesRoot(), QDir::cleanPath(root.path()));
    QCOMPARE(volumes.size(), 2);
    QCOMPARE(volumes.at(0).displayName, QString("CARD_A"));
    QCOMPARE(volumes.at(0).rootPath, root.path() + "/CARD_A");
    QCOMPARE(volumes.at(1).displayName, QString("CARD_B"));

    // A root that is not a folder falls back to the system volumes.
    qputenv("NALVO_VOLUMES_ROOT", (root.path() + "/file.txt").toLocal8Bit());
    QCOMPARE(VolumeSource::current().volumesRoot(), QString("/Volumes"));
    qunsetenv("NALVO_VOLUMES_ROOT");
    for (const tVolumeInfo& volume : VolumeSource::current().volumes())
        QVERIFY(!volume.rootPath.isEmpty());
}

void TestPlatform::browsableSystemVolumes()
{
    const QList<tMountedVolume> mounted = {{"/", "", "/"},
                                           {"/Volumes/SOUND", "SOUND", "SOUND"},
                                           {"/Volumes/Untitled", "", "Untitled"},
                                           {"/boot/efi", "EFI", "efi"}};
    const auto texts = [](const QList<tVolumeInfo>& volumes) {
        QStringList t;
        for (const tVolumeInfo& v : volumes)
            t << v.rootPath + "=" + v.displayName;
        return t.join(' ');
    };
    // With /Volumes, the boot volume stays browsable beside the media.
    QCOMPARE(texts(BrowsableVolumes(mounted, true)), QString("/=/ /Volumes/SOUND=SOUND /Volumes/Untitled=Untitled"));
    QCOMPARE(texts(BrowsableVolumes(mounted, false)),
             QString("/=/ /Volumes/SOUND=SOUND /Volumes/Untitled=Untitled /boot/efi=EFI"));
}

void TestPlatform::stripVolumesRoot()
{
    FixedVolumeSource fixed("/media/cards/", {{"/media/cards/CARD", "CARD"}});
    VolumeSource::setCurrent(&fixed);
    QString rest = "unchanged";
    QVERIFY(StripVolumesRoot("/media/cards/CARD/SHOOT.BR1", &rest));
    QCOMPARE(rest, QString("CARD/SHOOT.BR1"));
    QVERIFY(StripVolumesRoot("/media/cards", &rest));
    QCOMPARE(rest, QString());
    rest = "unchanged";
    QVERIFY(!StripVolumesRoot("/media/cardsX/CARD", &rest));
    QVERIFY(!StripVolumesRoot("/Users/me", &rest));
    QVERIFY(!StripVolumesRoot(QString(), &rest));
    QCOMPARE(rest, QString("unchanged"));
    VolumeSource::setCurrent(nullptr);

    qunsetenv("NALVO_VOLUMES_ROOT");
    QVERIFY(StripVolumesRoot("/Volumes/CARD/A.BR1", &rest));
    QCOMPARE(rest, QString("CARD/A.BR1"));
}

void TestPlatform::appFoldersOverride()
{
    const QByteArray saved = qgetenv("NALVO_APP_DIR");
    qputenv("NALVO_APP_DIR", "/tmp/nalvo-app/");
    QCOMPARE(AppFolders::ApplicationFolder(), QString("/tmp/nalvo-app"));
    QCOMPARE(AppFolders::SettingsFilePath(), QString("/tmp/nalvo-app/config/Nalvo.ini"));
    qunsetenv("NALVO_APP_DIR");
    QCOMPARE(AppFolders::ApplicationFolder(), QCoreApplication::applicationDirPath());
    if (!saved.isEmpty())
        qputenv("NALVO_APP_DIR", saved);
}

void TestPlatform::appleScriptEscaping()
{
    QCOMPARE(AppleScriptStringBody("/Volumes/A \"B\"\\C"), QString("/Volumes/A \\\"B\\\"\\\\C"));
    QCOMPARE(AppleScriptStringBody(QString()), QString());
}

void TestPlatform::messageFromWorkerIsQueued()
{
    MessageLoging logger;
    QCOMPARE(global_pLogger, &logger);
    MessageReceiver receiver;
    connect(&logger, &MessageLoging::signal_message, &receiver, &MessageReceiver::slot_message);
    QThread* worker = QThread::create([] {
        if (global_pLogger)
            global_pLogger->SendMsg("Worker", "text", 7, 2, true, 1500);
    });
    worker->start();
    worker->wait();
    delete worker;
    // Not delivered until the receiving thread's event loop runs.
    QVERIFY(receiver.m_pThread == nullptr);
    QTRY_VERIFY(receiver.m_pThread != nullptr);
    QCOMPARE(receiver.m_pThread, QThread::currentThread());
    QCOMPARE(receiver.m_czText, QString("text"));
    QCOMPARE(receiver.m_nTimeout, 1500);
}

void TestPlatform::diskSyncOfFilesAndFolder()
{
    // Several files and their folder, synced side by side; one descriptor
    // the system refuses fails the whole call, wherever it stands.
    QTemporaryDir root;
    std::vector<std::unique_ptr<QFile>> files;
    QVector<int> descriptors;
    for (int i = 0; i < 9; ++i) {
        files.push_back(std::make_unique<QFile>(root.filePath(QString::number(i))));
        QVERIFY(files.back()->open(QIODevice::ReadWrite));
        QCOMPARE(files.back()->write(QByteArray(5000, char('a' + i))), qint64(5000));
        QVERIFY(files.back()->flush());
        descriptors << files.back()->handle();
    }
    const int folderHandle = ::open(QFile::encodeName(root.path()).constData(), O_RDONLY | O_DIRECTORY);
    QVERIFY(folderHandle >= 0);
    descriptors << folderHandle;
    QVERIFY(SyncFiles(descriptors) == 0);
    for (const int at : {0, 5, 10}) {
        QVector<int> withBad = descriptors;
        withBad.insert(at, 1000000);
        QCOMPARE(SyncFiles(withBad), EBADF);
    }
    // A test's plan reaches each file on the sync's own threads, and a
    // stand-in's files alike: the fourth fails, once.
    tyDiskFaultPlan plan;
    plan.eKind = DiskCall::Sync;
    plan.nNth = 4;
    for (const bool standIn : {false, true}) {
        SetDiskSyncFunction(standIn ? DiskSyncFunction([](const QVector<int>&) { return true; }) : DiskSyncFunction());
        DiskFaults::Arm(plan);
        QCOMPARE(SyncFiles(descriptors), EIO);
        QCOMPARE(DiskFaults::Failed(), 1);
        QCOMPARE(SyncFiles(descriptors), 0);
        QCOMPARE(DiskFaults::Calls(), standIn ? 4 + 10 : 20);
    }
    DiskFaults::Disarm();
    SetDiskSyncFunction(DiskSyncFunction());
    ::close(folderHandle);
}

// The Nth call of a kind fails with the plan's error, and from it on when
// the card is pulled; a FAT card refuses links, a FUSE volume rename flags;
// calls of other kinds pass.
void TestPlatform::diskCallsFailAsPlanned()
{
    QTemporaryDir root;
    const QByteArray a = QFile::encodeName(root.filePath("a")), b = QFile::encodeName(root.filePath("b"));
    const int fd = DiskOpen(a.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    QVERIFY(fd >= 0);
    tyDiskFaultPlan plan;
    plan.eKind = DiskCall::Write;
    plan.nNth = 2;
    plan.nError = ENOSPC;
    DiskFaults::Arm(plan);
    QCOMPARE(DiskWrite(fd, "x", 1), ssize_t(1));
    QCOMPARE(DiskPwrite(fd, "y", 1, 0), ssize_t(-1));
    QCOMPARE(errno, ENOSPC);
    QCOMPARE(DiskFtruncate(fd, 0), 0);
    QCOMPARE(DiskWrite(fd, "z", 1), ssize_t(1));
    plan.bPersistent = true;
    DiskFaults::Arm(plan);
    QCOMPARE(DiskWrite(fd, "x", 1), ssize_t(1));
    QCOMPARE(DiskWrite(fd, "y", 1), ssize_t(-1));
    QCOMPARE(DiskWrite(fd, "z", 1), ssize_t(-1));
    QCOMPARE(DiskFaults::Failed(), 2);
    plan.bPersistent = false;
    plan.nCount = 2;
    DiskFaults::Arm(plan);
    QCOMPARE(DiskWrite(fd, "x", 1), ssize_t(1));
    QCOMPARE(DiskWrite(fd, "y", 1) + DiskWrite(fd, "z", 1), ssize_t(-2));
    QCOMPARE(DiskWrite(fd, "x", 1), ssize_t(1));
    ::close(fd);
    tyDiskFaultPlan fat;
    fat.bNoLinks = fat.bNoRenameFlags = true;
    DiskFaults::Arm(fat);
    QCOMPARE(DiskLink(a.constData(), b.constData()), -1);
    QCOMPARE(errno, EPERM);
    QCOMPARE(DiskRenameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_NOREPLACE), -1);
    QCOMPARE(errno, EINVAL);
    QCOMPARE(DiskRename(a.constData(), b.constData()), 0);
    QCOMPARE(DiskSymlink(b.constData(), a.constData()), -1);
    QCOMPARE(errno, EPERM);
    // A folder renamed there without a second name, never over a taken one.
    QVERIFY(QDir().mkpath(root.filePath("f/inner")) && QDir().mkpath(root.filePath("taken")));
    QVERIFY(!RenameNoReplace(root.filePath("f"), root.filePath("taken")) && errno == EEXIST);
    QVERIFY(!RenameNoReplace(root.filePath("f"), root.filePath("b")) && errno == EEXIST);
    QVERIFY(RenameNoReplace(root.filePath("f"), root.filePath("g")));
    QVERIFY(QFileInfo(root.filePath("g/inner")).isDir() && QFileInfo(root.filePath("taken")).isDir());
    DiskFaults::Disarm();
    QCOMPARE(DiskLink(b.constData(), a.constData()), 0);
    QCOMPARE(DiskUnlink(a.constData()), 0);
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "test_platform.moc"
