// The program's entry helpers: the font factor file, the debug log and the
// day-list progress line.
#include "foundation/platform/appfolders.h"
#include "mainwindow/appentry.h"
#include "mainwindow/daylisttext.h"
#include "mainwindow/debuglog.h"
#include "foundation/messageloging.h"
#include "tests/support/scratchdir.h"

#include <QDateTime>
#include <QProcess>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>
#include <vector>

class TestAppEntry : public QObject
{
    Q_OBJECT

private slots:
    void fontFactor_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<float>("factor");
        QTest::newRow("number") << QByteArray("1.2") << 1.2f;
        QTest::newRow("blanks before") << QByteArray("  \n 2.5 rest") << 2.5f;
        QTest::newRow("empty") << QByteArray("") << 1.4f;
        QTest::newRow("word") << QByteArray("large") << 1.4f;
        QTest::newRow("zero") << QByteArray("0") << 1.4f;
        QTest::newRow("negative") << QByteArray("-1.1") << 1.4f;
        QTest::newRow("1e30") << QByteArray("1e30") << 1.4f;
        QTest::newRow("1e-30") << QByteArray("1e-30") << 1.4f;
        QTest::newRow("not a number") << QByteArray("nan") << 1.4f;
        QTest::newRow("smallest kept") << QByteArray("0.5") << 0.5f;
        QTest::newRow("largest kept") << QByteArray("4") << 4.0f;
    }

    void fontFactor()
    {
        QFETCH(QByteArray, content);
        QFETCH(float, factor);
        fixture::ScratchDir dir;
        const QString path = dir.filePath("font.txt");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        // A file that is not used says so in the debug log.
        if (factor == 1.4f)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("font factor.*1\\.4 is kept")));
        QCOMPARE(ReadFontFactor(path), factor);
        QCOMPARE(ReadFontFactor(dir.filePath("missing.txt")), 1.4f);
    }

    void screenFontFactor()
    {
        QCOMPARE(ScreenFontFactor(1.4f, 72.0), 1.4f);
        QCOMPARE(ScreenFontFactor(1.4f, 96.0), 1.05f);
        QCOMPARE(ScreenFontFactor(1.2f, 144.0), 0.6f);
        QCOMPARE(ScreenFontFactor(1.4f, 0.0), 1.4f);
    }

    void bannerAndLine()
    {
        const QDateTime at(QDate(2024, 5, 1), QTime(7, 8, 9));
        QCOMPARE(LaunchBanner(at), QStringLiteral("---------------------------- LAUNCHING TOBRA3 "
                                                  "---------------------------------- \"2024-05-01   07:08:09\""));
        const QMessageLogContext context("a.cpp", 12, "void f()", nullptr);
        QCOMPARE(DebugLogLine(context, QStringLiteral("h\u00e9 \u20ac")), QByteArray("MESSAGE (a.cpp:12 void f()): h\xe9 ?\r\n"));
        QCOMPARE(DebugLogLine(QMessageLogContext(), QStringLiteral("x")), QByteArray("MESSAGE (:0 ): x\r\n"));
        const QMessageLogContext percent("a%2.cpp", 7, "g%3()", nullptr);
        QCOMPARE(DebugLogLine(percent, QStringLiteral("%1")), QByteArray("MESSAGE (a%2.cpp:7 g%3()): %1\r\n"));
    }

    // Lines of several threads stay whole; closing and a later message append.
    void logKeepsWholeLinesAcrossThreads()
    {
        QDir().mkpath(AppFolders::ApplicationFolder());
        QFile::remove(AppFolders::DebugLogPath());
        QFile seed(AppFolders::DebugLogPath());
        QVERIFY(seed.open(QIODevice::WriteOnly));
        seed.write("earlier\r\n");
        seed.close();
        const QtMessageHandler previous = qInstallMessageHandler(myMessageOutput);
        std::vector<std::unique_ptr<QThread>> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back(QThread::create([t] {
                for (int i = 0; i < 200; ++i)
                    qDebug("thread %d line %d %s", t, i, "0123456789012345678901234567890123456789");
            }));
            threads.back()->start();
        }
        for (auto& thread : threads)
            thread->wait();
        CloseDebugLog();
        qDebug("after close");
        CloseDebugLog();
        qInstallMessageHandler(previous);

        QFile log(AppFolders::DebugLogPath());
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = log.readAll().split('\n');
        QCOMPARE(lines.first(), QByteArray("earlier\r"));
        int threadLines = 0;
        for (const QByteArray& line : lines.mid(1)) {
            if (line.isEmpty())
                continue;
            QVERIFY2(line.startsWith("MESSAGE (") && line.endsWith("\r"), line.constData());
            if (line.contains("thread "))
                ++threadLines;
        }
        QCOMPARE(threadLines, 800);
        QVERIFY(lines.at(lines.size() - 2).endsWith("after close\r"));
    }

    // A log that cannot be written (a folder holds its name) loses the
    // lines, and the user is told once.
    void unwritableLogIsToldOnce()
    {
        QFile::remove(AppFolders::DebugLogPath());
        QVERIFY(QDir().mkpath(AppFolders::DebugLogPath()));
        const QtMessageHandler previous = qInstallMessageHandler(myMessageOutput);
        qDebug("lost");
        qInstallMessageHandler(previous);
        QVERIFY(!DebugLogFailure().isEmpty());
        MessageLoging channel;
        QSignalSpy told(&channel, &MessageLoging::signal_message);
        TellDebugLogFailure();
        TellDebugLogFailure();
        QCOMPARE(told.size(), 1);
        QVERIFY(told.first().at(1).toString().contains(QStringLiteral("Debug.txt")));
        QVERIFY(QDir(AppFolders::DebugLogPath()).removeRecursively());
    }

    void commandLines_data()
    {
        QTest::addColumn<QString>("command");   // a first word "=PATH" names the volumes folder
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said");
        QTest::newRow("nalvo --help") << "nalvo --help" << 0 << "usage: nalvo";
        QTest::newRow("nalvo unknown") << "nalvo --volumes" << 2 << "unknown option --volumes";
        QTest::newRow("nalvo no folder") << "=/gone nalvo" << 2 << "/gone (NALVO_VOLUMES_ROOT) does not";
        QTest::newRow("run -h") << "run.sh -h" << 0 << "usage: scripts/run.sh [--new-demo] [FOLDER]";
        QTest::newRow("run unknown") << "run.sh --help2" << 2 << "unknown option --help2";
        QTest::newRow("run no folder") << "run.sh /gone" << 2 << "folder /gone does not exist";
        QTest::newRow("run no root") << "=/gone run.sh" << 2 << "/gone (NALVO_VOLUMES_ROOT) does not";
        QTest::newRow("run new demo on a folder") << "run.sh --new-demo /tmp" << 2 << "--new-demo writes the demo";
        QTest::newRow("build --help") << "build.sh --help" << 0 << "usage: scripts/build.sh";
        QTest::newRow("build unknown") << "build.sh --target" << 2 << "unknown argument --target";
        QTest::newRow("test --help") << "test.sh --ci --help" << 0 << "usage: scripts/test.sh";
        QTest::newRow("test unknown") << "test.sh --cj -- -R x" << 2 << "unknown argument --cj";
        QTest::newRow("setup --help") << "setup.sh --ci --help" << 0 << "usage: scripts/setup.sh [--ci]";
        QTest::newRow("setup unknown") << "setup.sh --ci --bogus" << 2 << "unknown argument --bogus";
        // "-" first: no display and no platform in the environment.
        QTest::newRow("nalvo no display") << "- nalvo" << 1 << "nalvo needs a display: DISPLAY or WAYLAND_DISPLAY";
    }

    // Answered at once, before anything starts: no display needed, nothing
    // set up, built or written.
    void commandLines()
    {
        QFETCH(QString, command);
        QFETCH(int, status);
        QFETCH(QString, said);
        fixture::ScratchDir dir;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("NALVO_APP_DIR", dir.filePath("app"));
        env.insert("QT_QPA_PLATFORM", "no-such-platform");
        QStringList words = command.split(' ');
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            if (words.first() == "-")
                env.remove(name);
        words.removeAll("-");
        env.insert("NALVO_VOLUMES_ROOT", words.first().startsWith('=') ? words.takeFirst().mid(1) : QString());
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(words.first() == "nalvo" ? NALVO_PROGRAM : NALVO_SOURCE_DIR "/scripts/" + words.first(), words.mid(1));
        QVERIFY(process.waitForFinished(5000) && process.exitStatus() == QProcess::NormalExit);
        QCOMPARE(process.exitCode(), status);
        const QByteArray out = status == 0 ? process.readAllStandardOutput() : process.readAllStandardError();
        QVERIFY2(out.contains(said.toLocal8Bit()), out.constData());
        QVERIFY(status != 1 || out.count('\n') == 1);
        // Platforms that need no display server still start.
        QVERIFY(MissingDisplayText("offscreen", "", "").isEmpty() && MissingDisplayText("vnc:size=8x6", "", "").isEmpty());
        QVERIFY(MissingDisplayText("", ":0", "").isEmpty() && !MissingDisplayText("xcb", "", "wayland-0").isEmpty());
        QVERIFY(!QFileInfo::exists(dir.filePath("app")));
    }

    void dayListProgress()
    {
        struct Step { int state, value; const char* text; };
        const Step steps[] = {
            {1, 0, "LOADING /M/P%1.BR1/D.OVD"}, {2, 0, "LOADING /M/P%1.BR1/D.OVD"},
            {4, 0, "LOADING /M/P%1.BR1/D.OVD"},  // no count known yet
            {3, 12, "LOADING /M/P%1.BR1/D.OVD"}, {4, 0, "LOADING /M/P%1.BR1/D.OVD (0/12)"},
            {4, 11, "LOADING /M/P%1.BR1/D.OVD (11/12)"},
            {4, 9, "LOADING /M/P%1.BR1/D.OVD (11/12)"},   // a loader thread reporting late
            {5, 0, "/M/P%1.BR1/D.OVD"},
            {1, 0, "LOADING /M/P%1.BR1/D.OVD"}, {4, 3, "LOADING /M/P%1.BR1/D.OVD (3/12)"},
            {5, 2, "Load aborted /M/P%1.BR1/D.OVD "}, {0, 0, "Load aborted /M/P%1.BR1/D.OVD "},
            {3, 0, "Load aborted /M/P%1.BR1/D.OVD "}, {4, 0, "Load aborted /M/P%1.BR1/D.OVD "},
        };
        DayListProgress progress;
        QString text = QStringLiteral("No Day Selected");
        const QString path = DayListPath(QStringLiteral("/M/"), QStringLiteral("P%1.BR1"), QStringLiteral("D.OVD/"));
        for (const Step& step : steps) {
            text = progress.Text(step.state, step.value, path, text);
            QCOMPARE(text, QString::fromLatin1(step.text));
        }
    }
};

QTEST_MAIN(TestAppEntry)
#include "test_appentry.moc"
