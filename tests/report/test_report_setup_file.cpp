// The report-setup file and the take-filter strings: round trips, hostile
// files, missing and unwritable paths.
#include "report/reportsetupfile.h"
#include "report/reporttakefilters.h"

#include <QFile>
#include <QTemporaryDir>
#include <sys/stat.h>
#include <QtTest>

using namespace ReportLayout;

namespace {
bool WriteText(const QString& path, const QByteArray& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

bool SameLayouts(const tyReportSetup& a, const tyReportSetup& b)
{
    for (int l = 0; l < kHeaderLines; ++l)
        for (int c = 0; c < kHeaderCells; ++c)
            if (a.Header[l][c] != b.Header[l][c])
                return false;
    for (int l = 0; l < kDataLines; ++l)
        for (int c = 0; c < kDataCells; ++c)
            if (a.Data[l][c] != b.Data[l][c])
                return false;
    return true;
}
}  // namespace

class TestReportSetupFile : public QObject
{
    Q_OBJECT
private slots:
    void filterFunctions_data();
    void filterFunctions();
    void roundTrip();
    void hostileFiles_data();
    void hostileFiles();
    void missingAndEmptyPaths();
    void unwritablePaths();

private:
    QTemporaryDir m_Dir;
};

void TestReportSetupFile::filterFunctions_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("finished");
    QTest::addColumn<QString>("runText");
    QTest::newRow("empty") << "" << 1 << "" << "All takes";
    QTest::newRow("two alls merge") << ";" << 2 << "" << "All,All";
    QTest::newRow("duplicates merge") << "t;t" << 2 << "t" << "t,t";
    QTest::newRow("count lowered") << "t;p;a" << 1 << "t" << "t,p,a";
    QTest::newRow("count raised") << "t" << 3 << "t;" << "t";
    QTest::newRow("all then filter") << ";t" << 2 << ";t" << "All,t";
}

void TestReportSetupFile::filterFunctions()
{
    QFETCH(QString, given);
    QFETCH(int, count);
    QFETCH(QString, finished);
    QFETCH(QString, runText);
    QCOMPARE(TakeFilters::Finish(TakeFilters::Split(given), count), finished);
    QCOMPARE(TakeFilters::RunDisplayText(given), runText);
    // The menu: every letter, or none, is the filter of all takes.
    QCOMPARE(TakeFilters::FromChecked(QStringLiteral("gratpwn")), QString());
    QCOMPARE(TakeFilters::FromChecked(QString()), QString());
    QCOMPARE(TakeFilters::FromChecked(QStringLiteral("wt")), QStringLiteral("tw"));
    QCOMPARE(TakeFilters::UserText(QStringLiteral("t")), QStringLiteral("'t' only"));
    QCOMPARE(TakeFilters::UserText(QStringLiteral("tpw")), QStringLiteral("t,p,w"));
}

void TestReportSetupFile::roundTrip()
{
    tyReportSetup setup;
    setup.SetDefaults();
    setup.nAleFps = 4;
    setup.nAleVideoFormat = 9;   // out of the table: kept
    setup.ePageFormat = PageFormatA3Landscape;
    setup.nDataLines = 2;
    setup.bNoteLine = true;
    setup.eCircleDisplay = CircleDisplayFileTag;
    setup.czTakeFilters = QStringLiteral("t;pw;");
    const QStringList texts = {QStringLiteral("a,b"), QStringLiteral("say \"hi\""), QStringLiteral("x;y"),
                               QStringLiteral("left~|~right"), QString::fromUtf8("Caf\xc3\xa9 \xe2\x84\x96 7"),
                               QStringLiteral(" lead and trail ")};
    for (int i = 0; i < texts.size(); ++i)
        setup.Header[i % kHeaderLines][i] = tyReportBlock{1 + i, texts.at(i)};
    setup.Header[4][6] = tyReportBlock{-1, QString()};
    setup.Data[1][12] = tyReportBlock{-1, QString()};
    NormaliseDataLayout(setup.Data, 2);

    const QString path = m_Dir.filePath(QStringLiteral("round/Setup.ini"));
    QCOMPARE(ReportSetupFile::Save(path, setup), QString());
    tyReportSetup back;
    QCOMPARE(ReportSetupFile::Load(path, &back), QStringList());
    QVERIFY(SameLayouts(setup, back));
    QCOMPARE(back.nAleFps, 4);
    QCOMPARE(back.nAleVideoFormat, 9);
    QCOMPARE(back.ePageFormat, PageFormatA3Landscape);
    QCOMPARE(back.nDataLines, 2);
    QCOMPARE(back.bNoteLine, true);
    QCOMPARE(back.eCircleDisplay, CircleDisplayFileTag);
    QCOMPARE(back.czTakeFilters, setup.czTakeFilters);

    // One line that is not ini: every value is still read, and told.
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append) && file.write("[Broken\n") > 0);
    file.close();
    tyReportSetup broken;
    bool intact = true;
    QCOMPARE(ReportSetupFile::Load(path, &broken, &intact).size(), 1);
    QVERIFY(!intact);
    QVERIFY(broken == back);

    // A header line emptied by the grid's Delete in cell 0 holds "Empty",
    // not -1, and so keeps its other cells across a reload.
    QCOMPARE(ReportSetupFile::CellOfItem(QStringLiteral("abc~|~x")), (tyReportBlock{0, QString()}));
    QCOMPARE(ReportSetupFile::CellOfItem(QStringLiteral("7 no separator")), (tyReportBlock{0, QString()}));
}

void TestReportSetupFile::hostileFiles_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("warned");
    QTest::addColumn<QString>("node");   // what the path names: "" a file with the text
    QTest::newRow("ids and counts") << QByteArray("[General]\nnbDataLine=0\nfilters=/../x\ncircleDisplay=9\nformat=-3\n"
                                                  "[Header]\nline=5\nL_0=99~|~a, -7~|~b, abc~|~c\n"
                                                  "[Data]\nline=2\nL_0=-1~|~, 7~|~, -1~|~, 99~|~, 4~|~\n"
                                                  "L_1=-1~|~, -1~|~\n")
                                    << true << QString();
    QTest::newRow("seven lines") << QByteArray("[%General]\nnbDataLine=7\n[Data]\nline=99\n") << true << QString();
    // A file with no layout of its own reads as blank layouts, repaired and told.
    QTest::newRow("not ini at all") << QByteArray("\x00\xff\xfe garbage ] [ = \n=\n[[[", 22) << true << QString();
    QTest::newRow("empty file") << QByteArray() << true << QString();
    QByteArray junk(64 * 1024, '\0');
    for (int i = 0; i < junk.size(); ++i)
        junk[i] = char((i * 7919 + i / 13) % 251);
    QTest::newRow("binary junk") << junk << true << QString();
    QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF[General]\nformat=1\n") << true << QString();
    QTest::newRow("one long line") << QByteArray(4 << 20, 'x') << true << QString();
    QTest::newRow("pipe") << QByteArray() << true << "pipe";
    QTest::newRow("device") << QByteArray() << true << "device";
    QTest::newRow("folder") << QByteArray() << true << "folder";
}

void TestReportSetupFile::hostileFiles()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, warned);
    QFETCH(QString, node);
    const QString path = m_Dir.filePath(QStringLiteral("hostile-%1.ini").arg(QTest::currentDataTag()));
    QVERIFY(node == "pipe" ? ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0
            : node == "device" ? QFile::link(QStringLiteral("/dev/null"), path)
            : node == "folder" ? QDir().mkpath(path) : WriteText(path, text));
    tyReportSetup setup;
    bool intact = true;
    const QStringList warnings = ReportSetupFile::Load(path, &setup, &intact);
    QCOMPARE(!warnings.isEmpty(), warned);
    // A changed setup is written over a file only, and holds only its keys:
    // the pipe and the device stay what they are.
    setup.nAleFps = 3;
    QCOMPARE(ReportSetupFile::Save(path, setup, !intact).isEmpty(), node.isEmpty());
    QCOMPARE(QFileInfo(path).isFile(), node.isEmpty());
    tyReportSetup reread;
    QCOMPARE(ReportSetupFile::Load(path, &reread).isEmpty(), node.isEmpty());
    QVERIFY(!node.isEmpty() || (reread == setup && QFileInfo(path).size() < 4096));
    // Whatever the file held, every reader's assumptions hold.
    QVERIFY(setup.nDataLines >= 1 && setup.nDataLines <= 2);
    QVERIFY(setup.eCircleDisplay >= 0 && setup.eCircleDisplay <= 2);
    QVERIFY(setup.ePageFormat >= 0 && setup.ePageFormat <= 1);
    for (const QChar c : setup.czTakeFilters)
        QVERIFY(QStringLiteral("tpwanrg;").contains(c));
    for (auto& line : setup.Header)
        for (const tyReportBlock& cell : line)
            QVERIFY(cell.nFieldId == -1 || HeaderFieldOf(cell.nFieldId) || cell.nFieldId == 22);
    for (int l = 0; l < kDataLines; ++l) {
        QCOMPARE(setup.Data[l][0].nFieldId, int(FieldIndex));
        const int used = UsedCellCount(setup.Data[l]);
        QVERIFY(used >= 1);
        for (int c = 0; c < kDataCells; ++c)
            QCOMPARE(setup.Data[l][c].nFieldId == -1, c >= used);
    }
    QCOMPARE(setup.Data[0][1].nFieldId, int(FieldFileId));
}

void TestReportSetupFile::missingAndEmptyPaths()
{
    tyReportSetup defaults;
    defaults.SetDefaults();
    tyReportSetup setup;
    setup.czTakeFilters = QStringLiteral("t");
    QCOMPARE(ReportSetupFile::Load(QString(), &setup), QStringList());
    QVERIFY(SameLayouts(setup, defaults));
    QCOMPARE(setup.czTakeFilters, QStringLiteral("t"));

    // A vanished file gives the built-in layouts (not 28 "Empty" columns) and says so.
    tyReportSetup missing;
    const QStringList warnings = ReportSetupFile::Load(m_Dir.filePath(QStringLiteral("gone/Setup.ini")), &missing);
    QCOMPARE(warnings.size(), 1);
    QVERIFY(SameLayouts(missing, defaults));
}

void TestReportSetupFile::unwritablePaths()
{
    tyReportSetup setup;
    setup.SetDefaults();
    const QString blocker = m_Dir.filePath(QStringLiteral("plainfile"));
    QVERIFY(WriteText(blocker, "x"));
    QVERIFY(!ReportSetupFile::Save(blocker + QStringLiteral("/Setup.ini"), setup).isEmpty());
    QVERIFY(!ReportSetupFile::Save(m_Dir.path(), setup).isEmpty());
    QVERIFY(!ReportSetupFile::Save(QString(), setup).isEmpty());

    // A read-only folder: the write fails and the old file stays whole.
    const QString folder = m_Dir.filePath(QStringLiteral("locked"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/Setup.ini");
    QCOMPARE(ReportSetupFile::Save(path, setup), QString());
    QFile old(path);
    QVERIFY(old.open(QIODevice::ReadOnly));
    const QByteArray before = old.readAll();
    old.close();
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    setup.nAleFps = 5;
    if (QFileInfo(folder).isWritable()) {
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QSKIP("running with rights that ignore folder permissions");
    }
    QVERIFY(!ReportSetupFile::Save(path, setup).isEmpty());
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), before);
}

QTEST_GUILESS_MAIN(TestReportSetupFile)
#include "test_report_setup_file.moc"
