// Node classification and the node tree's own bookkeeping.
#include "browser/qbriselfsmodelitem.h"

#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(tFSItemType)

class TestBrowserItems : public QObject
{
    Q_OBJECT

    // root -> VOL (plain) -> SHOOT.BR1 (project) -> 2024-05-01.OVD (day)
    struct Tree
    {
        std::unique_ptr<QBriselFSModelItem> root{new QBriselFSModelItem(QFileInfo("/"), nullptr)};
        QBriselFSModelItem* volume = add(root.get(), "/Volumes/CARD");
        QBriselFSModelItem* project = add(volume, "/Volumes/CARD/SHOOT.BR1");
        QBriselFSModelItem* day = add(project, "/Volumes/CARD/SHOOT.BR1/2024-05-01.OVD");

        static QBriselFSModelItem* add(QBriselFSModelItem* parent, const QString& path)
        {
            auto* item = new QBriselFSModelItem(QFileInfo(path), parent);
            item->fillItemInfo(QFileInfo(path), parent);
            return item;
        }
        QBriselFSModelItem* parentNamed(const QString& which) const
        {
            return which == "day" ? day : which == "project" ? project : volume;
        }
    };

private slots:
    void classification_data()
    {
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QString>("name");
        QTest::addColumn<tFSItemType>("kind");
        QTest::addColumn<QString>("take");

        QTest::newRow("project anywhere") << "volume" << "SHOOT.BR1" << FSITEM_PROJECT << "";
        QTest::newRow("project inside a project") << "project" << "OTHER.BR1" << FSITEM_PROJECT << "";
        QTest::newRow("project inside a day") << "day" << "OTHER.BR1" << FSITEM_PROJECT << "";
        QTest::newRow("lower-case project") << "volume" << "shoot.br1" << FSITEM_PLAIN << "";
        for (const char* s : {"OVD", "OVX", "OVN", "OVL", "OVM", "OVR"}) {
            QTest::newRow(qPrintable(QString("day .%1").arg(s)))
                << "project" << QString("2024-05-01.%1").arg(s) << FSITEM_DAY << "";
            QTest::newRow(qPrintable(QString("day .%1 outside a project").arg(s)))
                << "volume" << QString("2024-05-01.%1").arg(s) << FSITEM_PLAIN << "";
        }
        QTest::newRow("lower-case day suffix") << "project" << "2024-05-01.ovd" << FSITEM_PLAIN << "";
        QTest::newRow("mono _01") << "day" << "S12T4_01.WAV" << FSITEM_MONO << "S12T4";
        QTest::newRow("mono -7") << "day" << "S12T4-7.WAV" << FSITEM_MONO << "S12T4";
        QTest::newRow("mono #12") << "day" << "S12T4#12.WAV" << FSITEM_MONO << "S12T4";
        QTest::newRow("mono three digits") << "day" << "S12T4_123.WAV" << FSITEM_PLAIN << "";
        QTest::newRow("mono +01, as the recorder writes") << "day" << "S12T4+01.WAV" << FSITEM_MONO << "S12T4";
        QTest::newRow("mix MX") << "day" << "S12T4MX.WAV" << FSITEM_MIX << "S12T4MX";
        QTest::newRow("mix qx any case") << "day" << "S12T4qx.WAV" << FSITEM_MIX << "S12T4qx";
        for (const char* s : {"PN", "PR", "PX", "PS", "ps"})
            QTest::newRow(qPrintable(QString("poly %1").arg(s)))
                << "day" << QString("S12T4%1.WAV").arg(s) << FSITEM_POLY << QString("S12T4%1").arg(s);
        QTest::newRow("mono digits must end") << "day" << "S12T4_01MX.WAV" << FSITEM_MIX << "S12T4_01MX";
        QTest::newRow("mono wins over mix letters") << "day" << "S1MX_02.WAV" << FSITEM_MONO << "S1MX";
        QTest::newRow("dot in a mix name") << "day" << "S12T4.MX.WAV" << FSITEM_MIX << "S12T4.MX";
        QTest::newRow("dot in a mono take name") << "day" << "DOT.01_01.WAV" << FSITEM_MONO << "DOT.01";
        QTest::newRow("dots in a poly name") << "day" << "SC.1.2PX.WAV" << FSITEM_POLY << "SC.1.2PX";
        QTest::newRow("lower-case wav") << "day" << "S12T4_01.wav" << FSITEM_PLAIN << "";
        QTest::newRow("take file outside a day") << "project" << "S12T4_01.WAV" << FSITEM_PLAIN << "";
        QTest::newRow("take file on a volume") << "volume" << "S12T4MX.WAV" << FSITEM_PLAIN << "";
        QTest::newRow("no take marker") << "day" << "NOTES.WAV" << FSITEM_PLAIN << "";
    }

    void foldersAreNeverTakes()
    {
        // A folder named like a track file, next to a file of the same form.
        QTemporaryDir disk;
        QVERIFY(QDir(disk.path()).mkdir("DIR001_01.WAV"));
        Tree t;
        QBriselFSModelItem* folder = Tree::add(t.day, disk.path() + "/DIR001_01.WAV");
        QCOMPARE(folder->type(), FSITEM_PLAIN);
        QVERIFY(folder->fileTag().isEmpty());
    }

    void classification()
    {
        QFETCH(QString, parent);
        QFETCH(QString, name);
        QFETCH(tFSItemType, kind);
        QFETCH(QString, take);

        Tree t;
        QBriselFSModelItem* p = t.parentNamed(parent);
        QBriselFSModelItem* item = Tree::add(p, p->absoluteFilePath() + "/" + name);
        QCOMPARE(item->type(), kind);
        QCOMPARE(item->fileTag(), take);
        const bool isTake = kind == FSITEM_MONO || kind == FSITEM_MIX || kind == FSITEM_POLY;
        if (isTake) {
            QCOMPARE(item->dayName(), QString("2024-05-01.OVD"));
            QCOMPARE(item->projectName(), QString("SHOOT.BR1"));
            QCOMPARE(item->preProjectPath(), QString("/Volumes/CARD"));
        } else if (kind == FSITEM_PLAIN) {
            QVERIFY(item->dayName().isEmpty());
            QVERIFY(item->projectName().isEmpty());
        }
    }

    void inheritedNames()
    {
        Tree t;
        QCOMPARE(t.project->projectName(), QString("SHOOT.BR1"));
        QCOMPARE(t.project->preProjectPath(), QString("/Volumes/CARD"));
        QCOMPARE(t.day->dayName(), QString("2024-05-01.OVD"));
        QCOMPARE(t.day->projectName(), QString("SHOOT.BR1"));
        QCOMPARE(t.day->preProjectPath(), QString("/Volumes/CARD"));
    }

    void namesAndPositions()
    {
        Tree t;
        QCOMPARE(t.root->fileName(), QString());
        QCOMPARE(t.root->childNumber(), 0);
        QVERIFY(t.root->m_bPopulated);
        QCOMPARE(t.volume->fileName(), QString("CARD"));
        auto* boot = Tree::add(t.root.get(), "/");
        QCOMPARE(boot->fileName(), QString("/"));
        QCOMPARE(boot->childNumber(), 1);
        QCOMPARE(t.root->childAt(2), nullptr);
        QCOMPARE(t.root->childAt(-1), nullptr);

        // An unlisted folder may hold children; an unlisted file may not.
        QVERIFY(t.day->mayHaveChildren());
        auto* file = Tree::add(t.day, QFINDTESTDATA("test_browser_items.cpp"));
        QVERIFY(!file->mayHaveChildren());
    }

    void clearAllKeepsTemplate()
    {
        Tree t;
        auto* take = Tree::add(t.day, t.day->absoluteFilePath() + "/T1_01.WAV");
        take->SetTemplateInfo(3, "SC-TK");
        Tree::add(take, "/x/child");
        take->m_bPopulated = true;
        take->clearAll();
        QCOMPARE(take->childCount(), 0);
        QVERIFY(!take->m_bPopulated);
        QCOMPARE(take->type(), FSITEM_PLAIN);
        QVERIFY(take->fileTag().isEmpty() && take->dayName().isEmpty() && take->projectName().isEmpty());
        QCOMPARE(take->ScTkTemplate(), 3);
        QCOMPARE(take->AdvTemplCompo(), QString("SC-TK"));
    }

    // Lookups walk listed nodes only, unless given a lister for the others.
    void matchPathListsOnlyThroughLister()
    {
        Tree t;
        const QStringList path{"CARD", "SHOOT.BR1", "2024-05-01.OVD"};
        QCOMPARE(t.root->matchPath(path, 0, QString(), {}), nullptr);

        QStringList listed;
        const auto lister = [&](QBriselFSModelItem* folder) {
            listed << folder->fileName();
            folder->m_bPopulated = true;
        };
        QCOMPARE(t.root->matchPath(path, 0, QString(), lister), t.day);
        QCOMPARE(listed, QStringList({"CARD", "SHOOT.BR1"}));
        QCOMPARE(t.root->matchPath(path, 0, QString(), {}), t.day);
        QCOMPARE(t.root->matchPath({"CARD", "shoot.br1"}, 0, QString(), lister), nullptr);
        QCOMPARE(t.root->matchPath({}, 0, QString(), lister), nullptr);
    }
};

QTEST_GUILESS_MAIN(TestBrowserItems)
#include "test_browser_items.moc"
