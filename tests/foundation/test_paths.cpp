#include "foundation/fileinfolist.h"
#include "foundation/fileutil.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/qpath.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

namespace {
void WriteFile(const QString& path, int bytes = 0)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(QByteArray(bytes, 'x')), qint64(bytes));
}
}

class TestPaths : public QObject
{
    Q_OBJECT
private slots:
    void splitting_data();
    void splitting();
    void drive();
    void monoFiles_data();
    void monoFiles();
    void removePathTree();
    void removePathRefusesEmptyAndMissing();
    void diskFreeSizeWalksUp();
    void diskFreeSizeUnknownVolume();
    void mirrorFolder();
    void listingOrderFiltersAndSizes();
    void listingAbort();
    void listingTakeNamesAndIds();
};

void TestPaths::splitting_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("bare");
    QTest::addColumn<QString>("ext");
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("sep");

    QTest::newRow("two-digit") << "/Volumes/CARD/A.BR1/2024-05-01.OVD/T001_03.WAV"
                               << "/Volumes/CARD/A.BR1/2024-05-01.OVD/" << "T001_03.WAV" << "T001_03"
                               << "WAV" << "T001" << "_";
    QTest::newRow("one-char") << "/d/T001_3.WAV" << "/d/" << "T001_3.WAV" << "T001_3" << "WAV" << "T001" << "_";
    QTest::newRow("hash") << "/d/ABC123#A.WAV" << "/d/" << "ABC123#A.WAV" << "ABC123#A" << "WAV" << "ABC123"
                          << "#";
    QTest::newRow("plus") << "/d/ABC123+12.WAV" << "/d/" << "ABC123+12.WAV" << "ABC123+12" << "WAV"
                          << "ABC123" << "+";
    QTest::newRow("poly") << "/d/ABC123PX.WAV" << "/d/" << "ABC123PX.WAV" << "ABC123PX" << "WAV"
                          << "ABC123PX" << "";
    // Long names: separators inside the name must not be taken for the track suffix.
    QTest::newRow("long ==") << "/d/ABC123==     12A     t3==-01.WAV" << "/d/"
                             << "ABC123==     12A     t3==-01.WAV" << "ABC123==     12A     t3==-01"
                             << "WAV" << "ABC123==     12A     t3==" << "-";
    QTest::newRow("long __") << "/d/ABC1-3__12A-B_____t3___01.WAV" << "/d/"
                             << "ABC1-3__12A-B_____t3___01.WAV" << "ABC1-3__12A-B_____t3___01" << "WAV"
                             << "ABC1-3__12A-B_____t3__" << "_";
    QTest::newRow("long poly") << "/d/ABC123==  12A   t3==PX.WAV" << "/d/" << "ABC123==  12A   t3==PX.WAV"
                               << "ABC123==  12A   t3==PX" << "WAV" << "ABC123==  12A   t3==PX" << "";
    QTest::newRow("dotted folder") << "/a.b/c" << "/a.b/" << "c" << "c" << "" << "c" << "";
    QTest::newRow("trailing slash") << "/x/SHOOT.BR1/" << "/x/" << "SHOOT.BR1" << "SHOOT" << "BR1" << "SHOOT"
                                    << "";
    QTest::newRow("unclean") << "/x//y/../T1_2.WAV" << "/x/" << "T1_2.WAV" << "T1_2" << "WAV" << "T1" << "_";
    QTest::newRow("no slash") << "T001_03.WAV" << "" << "T001_03.WAV" << "T001_03" << "WAV" << "T001" << "_";
    QTest::newRow("empty") << "" << "" << "" << "" << "" << "" << "";
    QTest::newRow("root") << "/" << "" << "" << "" << "" << "" << "";
    QTest::newRow("ends with separator") << "/d/AB_" << "/d/" << "AB_" << "AB_" << "" << "AB" << "_";
}

void TestPaths::splitting()
{
    QFETCH(QString, path);
    const QPath p(path);
    QTEST(p.GetPath(), "folder");
    QTEST(p.GetFilename(true), "name");
    QTEST(p.GetFilename(false), "bare");
    QTEST(p.GetExtension(), "ext");
    QTEST(p.GetRoot(), "root");
    QTEST(p.GetSeparator(), "sep");
}

void TestPaths::drive()
{
    QCOMPARE(QPath("/Volumes/CARD/A.BR1/2024-05-01.OVX/").GetDrive(), QString("/Volumes/CARD/A.BR1"));
    QCOMPARE(QPath("/Volumes/CARD/A.BR1/2024-05-01.OVD/T001_03.WAV").GetDrive(),
             QString("/Volumes/CARD/A.BR1/2024-05-01.OVD"));
    QCOMPARE(QPath("").GetDrive(), QString());
    QCOMPARE(QPath("rel/x.WAV").GetDrive(), QDir::currentPath() + "/rel");
}

void TestPaths::monoFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("mono");
    QTest::addColumn<QString>("racine");

    QTest::newRow("_NN") << "/d/T001_03.WAV" << true << "/d/T001";
    QTest::newRow("_N") << "/d/T001_3.WAV" << true << "/d/T001";
    QTest::newRow("_A") << "/d/T001_A.WAV" << true << "/d/T001";
    QTest::newRow("-NN") << "/d/ABD456-12.WAV" << true << "/d/ABD456";
    QTest::newRow("#NN") << "/d/ABD456#12.WAV" << true << "/d/ABD456";
    QTest::newRow("+NN") << "/d/ABD456+07.WAV" << true << "/d/ABD456";
    QTest::newRow("-N") << "/d/ABD456-7.WAV" << true << "/d/ABD456";
    QTest::newRow("poly") << "/d/ABD456PX.WAV" << false << "/d/ABD456";
    QTest::newRow("mix") << "/d/ABD456MX.WAV" << false << "/d/ABD456";
    QTest::newRow("-XY is not two digits") << "/d/ABD45-XY.WAV" << false << "/d/ABD45-";
    QTest::newRow("long") << "/d/ABC123==  12A   t3==_01.WAV" << true << "/d/ABC123==  12A   t3==";
    QTest::newRow("short text") << "A_1.WAV" << true << "A";
    QTest::newRow("six chars") << "_1.WAV" << false << "_1.WAV";
    QTest::newRow("empty") << "" << false << "";
}

void TestPaths::monoFiles()
{
    QFETCH(QString, path);
    QTEST(IsMonoFile(path), "mono");
    QTEST(AudioPathFileShortenedToRacine(path), "racine");
}

void TestPaths::removePathTree()
{
    QTemporaryDir scratch;
    const QString top = scratch.path() + "/top";
    QVERIFY(QDir().mkpath(top + "/sub/deeper"));
    WriteFile(top + "/.hidden");
    WriteFile(top + "/sub/deeper/.DS_Store");
    WriteFile(top + "/sub/a.WAV", 10);
    // A link to a folder outside must go, not what it points to.
    const QString outside = scratch.path() + "/outside";
    QVERIFY(QDir().mkpath(outside));
    WriteFile(outside + "/keep.txt");
    QVERIFY(QFile::link(outside, top + "/link"));

    QVERIFY(removePath(top));
    QVERIFY(!QFileInfo::exists(top));
    QVERIFY(QFileInfo::exists(outside + "/keep.txt"));

    WriteFile(scratch.path() + "/single.WAV");
    QVERIFY(removePath(scratch.path() + "/single.WAV"));
    QVERIFY(!QFileInfo::exists(scratch.path() + "/single.WAV"));
}

void TestPaths::removePathRefusesEmptyAndMissing()
{
    QTemporaryDir scratch;
    WriteFile(scratch.path() + "/keep.txt");
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(scratch.path());
    // An empty path would otherwise name the working folder.
    QVERIFY(!removePath(QString()));
    QDir::setCurrent(cwd);
    QVERIFY(QFileInfo::exists(scratch.path() + "/keep.txt"));
    QVERIFY(!removePath(scratch.path() + "/missing"));
}

void TestPaths::diskFreeSizeWalksUp()
{
    QTemporaryDir scratch;
    QString asked;
    SetFreeSpaceFunction([&asked](const QString& folder) {
        asked = folder;
        return qint64(5) * 1048576 + 1048575;
    });
    QCOMPARE(QAll_GetDiskFreeSize(scratch.path() + "/not/yet/made.WAV"), 5);
    QCOMPARE(asked, QDir::cleanPath(scratch.path()));

    SetFreeSpaceFunction([](const QString&) { return qint64(1) << 52; });
    QCOMPARE(QAll_GetDiskFreeSize(scratch.path()), INT_MAX);
    SetFreeSpaceFunction(nullptr);
    QVERIFY(QAll_GetDiskFreeSize(scratch.path()) > 0);
}

void TestPaths::diskFreeSizeUnknownVolume()
{
    SetFreeSpaceFunction([](const QString&) { return qint64(-1); });
    QCOMPARE(QAll_GetDiskFreeSize("/tmp"), 0);
    SetFreeSpaceFunction(nullptr);
    QCOMPARE(QAll_GetDiskFreeSize(QString()), 0);
}

void TestPaths::mirrorFolder()
{
    QTemporaryDir scratch;
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(scratch.path());
    const QString mirror = QAll_GetMirrorPathFolder();
    QDir::setCurrent(cwd);
    QCOMPARE(mirror, QDir(scratch.path()).canonicalPath() + "/" + QCoreApplication::applicationName() + "/Mirror");
}

void TestPaths::listingOrderFiltersAndSizes()
{
    QTemporaryDir scratch;
    const QString day = scratch.path();
    WriteFile(day + "/b00001_01.WAV", 7);
    WriteFile(day + "/B00001_01.WAV", 5);
    WriteFile(day + "/A00001_02.WAV", 3);
    WriteFile(day + "/A00001_01.WAV", 2);
    WriteFile(day + "/A00002_01.wav", 100);  // wrong case
    WriteFile(day + "/.WAV", 100);           // not longer than the ending
    WriteFile(day + "/notes.txt", 100);
    QVERIFY(QDir().mkpath(day + "/FOLDER.WAV"));

    MyFileInfoList list;
    QCOMPARE(list.LoadEntryInfoList(day, {".WAV"}, true, nullptr), 0);
    QStringList names;
    for (int i = 0; i < list.count(); ++i)
        names << list.GetFileName(i);
    QCOMPARE(names, QStringList({"A00001_01.WAV", "A00001_02.WAV", "B00001_01.WAV", "FOLDER.WAV", "b00001_01.WAV"}));
    QCOMPARE(list.GetFileSize(0), qint64(2));
    QCOMPARE(list.GetFileSize(4), qint64(7));
    QCOMPARE(list.GetTotalSize(), qint64(2 + 3 + 5 + 7) + QFileInfo(day + "/FOLDER.WAV").size());
    QCOMPARE(list.GetAbsolutePath(1), QFileInfo(day).absoluteFilePath());
    QCOMPARE(list.GetFileName(-1), QString());
    QCOMPARE(list.GetFileName(5), QString());
    QCOMPARE(list.GetAbsolutePath(5), QString());

    QCOMPARE(list.LoadEntryInfoList(day, {".wav", ".txt"}, false, nullptr), 0);
    QCOMPARE(list.count(), 2);
    QCOMPARE(list.GetTotalSize(), qint64(0));

    QCOMPARE(list.LoadEntryInfoList(day + "/missing", {".WAV"}, true, nullptr), 0);
    QCOMPARE(list.count(), 0);
    QCOMPARE(list.LoadEntryInfoList(QString(), {".WAV"}, true, nullptr), 0);
    QCOMPARE(list.count(), 0);
}

void TestPaths::listingAbort()
{
    QTemporaryDir scratch;
    for (int i = 0; i < 50; ++i)
        WriteFile(scratch.path() + QString("/T%1_01.WAV").arg(i, 5, 10, QLatin1Char('0')));
    MyFileInfoList list;
    bool abort = true;
    QCOMPARE(list.LoadEntryInfoList(scratch.path(), {".WAV"}, false, &abort), 1);
    QCOMPARE(list.count(), 0);

    // Set from another thread while the listing runs: it must end, early or complete.
    abort = false;
    QThread* setter = QThread::create([&abort] { __atomic_store_n(&abort, true, __ATOMIC_RELEASE); });
    setter->start();
    const int result = list.LoadEntryInfoList(scratch.path(), {".WAV"}, false, &abort);
    setter->wait();
    delete setter;
    QVERIFY(result == 0 || result == 1);
    QVERIFY(list.count() <= 50);
}

void TestPaths::listingTakeNamesAndIds()
{
    QTemporaryDir scratch;
    const QString day = scratch.path();
    for (const char* name : {"AAA001_01.WAV", "AAA001_02.WAV", "AAA002-3.WAV", "AAA003MX.WAV", "AAA004PN.WAV",
                             "AAA005#12.WAV", "AAA006.WAV", "AAA007==  12A   t3==_01.WAV", "AAA007==  12A   t3==_02.WAV"})
        WriteFile(day + "/" + name);
    MyFileInfoList list;
    QCOMPARE(list.LoadEntryInfoList(day, {".WAV"}, false, nullptr), 0);
    QCOMPARE(list.GetFileList(), QStringList({"AAA001", "AAA002", "AAA003", "AAA004", "AAA005", "AAA006",
                                              "AAA007==  12A   t3=="}));
    QCOMPARE(list.FindFileId("AAA001"), 0);
    QCOMPARE(list.FindFileId("AAA007"), 7);
    QCOMPARE(list.FindFileId("ZZZ999"), -1);
    QCOMPARE(list.FindFileId(QString()), -1);
}

QTEST_GUILESS_MAIN(TestPaths)
#include "test_paths.moc"
