// The take-naming rules of every reader, as one table.
#include "foundation/fileinfolist.h"
#include "foundation/takenaming.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace TakeNaming;

Q_DECLARE_METATYPE(TakeNaming::Rule)
Q_DECLARE_METATYPE(TakeNaming::FileKind)

class TestTakeNaming : public QObject
{
    Q_OBJECT

private slots:
    void splitTrackName_data()
    {
        QTest::addColumn<Rule>("rule");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("root");   // null: no track suffix
        QTest::addColumn<QString>("track");

        const Rule B = Rule::Browse, L = Rule::Load, P = Rule::Path, R = Rule::Rename;
        struct Row { const char* tag; Rule rule; const char* name; const char* root; const char* track; };
        const Row rows[] = {
            {"browse _01", B, "T001_01", "T001", "01"},
            {"browse -7", B, "T001-7", "T001", "7"},
            {"browse #12", B, "T001#12", "T001", "12"},
            {"browse plus", B, "T001+01", "T001", "01"},
            {"browse no letter track", B, "T001_A", nullptr, nullptr},
            {"browse three digits", B, "T001_123", nullptr, nullptr},
            {"browse dot in root", B, "DOT.01_01", "DOT.01", "01"},
            {"load plus", L, "T001+01", "T001", "01"},
            {"load letter track", L, "T001_O", "T001", "O"},
            {"load past the last letter", L, "T001_P", nullptr, nullptr},
            {"load track 25", L, "T001_25", nullptr, nullptr},
            {"load track 00", L, "T001_00", nullptr, nullptr},
            {"load no root", L, "_01", nullptr, nullptr},
            {"path two digits", P, "/d/T001_03.WAV", "/d/T001", "03"},
            {"path one character", P, "/d/T001+3.WAV", "/d/T001", "3"},
            {"path underscore takes any two", P, "/d/T001_AB.WAV", "/d/T001", "AB"},
            {"path dash needs digits", P, "/d/T001-AB.WAV", nullptr, nullptr},
            {"path too short", P, "_1.WAV", nullptr, nullptr},
            {"rename rightmost of the last three", R, "T0_1_2", "T0_1", "2"},
            {"rename none near the end", R, "T_0012", nullptr, nullptr},
        };
        for (const Row& r : rows)
            QTest::newRow(r.tag) << r.rule << QString(r.name) << (r.root ? QString(r.root) : QString())
                                 << QString(r.track);
    }

    void splitTrackName()
    {
        QFETCH(Rule, rule);
        QFETCH(QString, name);
        QFETCH(QString, root);
        QFETCH(QString, track);
        const tyTrackName split = SplitTrackName(name, rule);
        QCOMPARE(split.bTrack, !root.isNull());
        QCOMPARE(split.czRoot, root.isNull() ? name : root);
        QCOMPARE(split.czTrack, track);
    }

    void classifyAndListedNames_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<FileKind>("kind");
        QTest::addColumn<QString>("take");    // what the browser shows
        QTest::addColumn<QString>("listed");  // the day's take list name

        QTest::newRow("mono") << "S12T4_01.WAV" << FileKind::Mono << "S12T4" << "S12T4";
        QTest::newRow("mix") << "S12T4MX.WAV" << FileKind::Mix << "S12T4MX" << "S12T4";
        QTest::newRow("poly") << "S12T4PX.WAV" << FileKind::Poly << "S12T4PX" << "S12T4";
        QTest::newRow("poly PS is no listed suffix") << "S12T4PS.WAV" << FileKind::Poly << "S12T4PS" << "S12T4PS";
        QTest::newRow("dots in a poly name") << "SC.1.2PX.WAV" << FileKind::Poly << "SC.1.2PX" << "SC.1.2";
        QTest::newRow("dot in a mono root") << "DOT.01_01.WAV" << FileKind::Mono << "DOT.01" << "DOT.01";
        QTest::newRow("plus, as the recorder writes") << "A01T04+01.WAV" << FileKind::Mono << "A01T04" << "A01T04";
        QTest::newRow("plain") << "NOTES.WAV" << FileKind::None << "" << "NOTES";
    }

    void classifyAndListedNames()
    {
        QFETCH(QString, file);
        QFETCH(FileKind, kind);
        QFETCH(QString, take);
        QFETCH(QString, listed);
        QString shown;
        QCOMPARE(ClassifyBaseName(file.left(file.size() - 4), &shown), kind);
        QCOMPARE(shown, take);
        QCOMPARE(ListedTakeName(file), listed);
    }

    void findFileIdInALargeListing()
    {
        QTemporaryDir dir;
        for (int t = 0; t < 300; t += 3) {
            for (int track = 1; track <= 2; ++track) {
                QFile file(dir.path() + QStringLiteral("/T%1_0%2.WAV").arg(t, 5, 10, QLatin1Char('0')).arg(track));
                QVERIFY(file.open(QIODevice::WriteOnly));
            }
        }
        MyFileInfoList listing;
        QCOMPARE(listing.LoadEntryInfoList(dir.path(), {QStringLiteral(".WAV")}, false, nullptr), 0);
        for (int t = 0; t < 300; ++t) {
            const QString id = QStringLiteral("T%1").arg(t, 5, 10, QLatin1Char('0'));
            const int found = listing.FindFileId(id);
            if (t % 3) {
                QCOMPARE(found, -1);
                continue;
            }
            QCOMPARE(listing.GetFileName(found), id + QStringLiteral("_01.WAV"));
        }
        QCOMPARE(listing.FindFileId(QStringLiteral("T")), 0);
        QCOMPARE(listing.FindFileId(QStringLiteral("U00000")), -1);
    }
};

QTEST_GUILESS_MAIN(TestTakeNaming)
#include "test_takenaming.moc"
