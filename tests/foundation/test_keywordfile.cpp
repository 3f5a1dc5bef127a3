#include "foundation/initext.h"
#include "foundation/keywordfile.h"
#include "foundation/messageloging.h"
#include "foundation/platform/diskprobes.h"

#include <QDir>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {
void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
}

class TestKeywordFile : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void findAndExtract();
    void malformedLines();
    void notOpen();
    void setLineReplacesAppendsCreates();
    void setLineKeepsFileWhenFolderNotWritable();
    void setLineOnDirectoryTarget();
    void setLineRoundTrip();
    void iniTextAsQSettingsWritesIt_data();
    void iniTextAsQSettingsWritesIt();

private:
    std::unique_ptr<QTemporaryDir> m_pScratch;
    QString m_czScratch;
    MessageLoging* m_pLogger = nullptr;
};

void TestKeywordFile::init()
{
    m_pLogger = new MessageLoging;
    m_pScratch.reset(new QTemporaryDir);
    m_czScratch = m_pScratch->path();
}

void TestKeywordFile::cleanup()
{
    delete m_pLogger;
    m_pScratch.reset();
    SetWritabilityProbe(nullptr);
}

void TestKeywordFile::findAndExtract()
{
    const QString path = m_czScratch + "/a.idh";
    WriteBytes(path, "#LABEL\r\nMy preset\r\n#PLAYER_TRACK_VOL\r\n4|4|3|\r\n#MIN_TRACK\r\n2\r\n#EMPTY_FIELD\r\n||x|\r\n");
    QFileRead file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QString value = "unchanged";
    QVERIFY(file.FindKeyword("#PLAYER_TRACK_VOL"));
    QVERIFY(file.Extract(0, &value));
    QCOMPARE(value, QString("4"));
    QVERIFY(file.Extract(2, &value));
    QCOMPARE(value, QString("3"));
    value = "unchanged";
    QVERIFY(!file.Extract(3, &value));
    QVERIFY(!file.Extract(-1, &value));
    QCOMPARE(value, QString("unchanged"));

    // A value written without '|' is one field.
    QVERIFY(file.FindKeyword("#MIN_TRACK"));
    QVERIFY(file.Extract(0, &value));
    QCOMPARE(value, QString("2"));
    QVERIFY(file.FindKeyword("#LABEL"));
    QVERIFY(file.Extract(0, &value));
    QCOMPARE(value, QString("My preset"));
    QVERIFY(file.FindKeyword("#EMPTY_FIELD"));
    QVERIFY(file.Extract(1, &value));
    QCOMPARE(value, QString());
    QVERIFY(file.Extract(2, &value));
    QCOMPARE(value, QString("x"));

    // Exact match only; a failed search leaves no stale value line.
    QVERIFY(!file.FindKeyword("#PLAYER_TRACK"));
    QVERIFY(!file.Extract(0, &value));
}

void TestKeywordFile::malformedLines()
{
    const QString path = m_czScratch + "/bad.idh";
    QByteArray bytes = "#NO_VALUE_LINE_EMPTY\r\n\r\n#HASH_VALUE\r\n#OTHER\r\n#LONG\r\n";
    bytes += QByteArray(600, 'v') + "|tail|\r\n";
    // The rest of an over-long line must not be read as a line of its own.
    bytes += QByteArray(512, 'p') + "#HIDDEN\r\nno\r\n";
    bytes += "#LF_ONLY\n7|8\n#AT_END";
    WriteBytes(path, bytes);
    QFileRead file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QString value = "unchanged";
    QVERIFY(file.FindKeyword("#NO_VALUE_LINE_EMPTY"));
    QVERIFY(!file.Extract(0, &value));
    QVERIFY(file.FindKeyword("#HASH_VALUE"));
    QVERIFY(!file.Extract(0, &value));
    QVERIFY(file.FindKeyword("#LONG"));
    QVERIFY(file.Extract(0, &value));
    QCOMPARE(value, QString(512, 'v'));
    QVERIFY(!file.Extract(1, &value));
    QVERIFY(!file.FindKeyword("#HIDDEN"));
    QVERIFY(file.FindKeyword("#LF_ONLY"));
    QVERIFY(file.Extract(1, &value));
    QCOMPARE(value, QString("8"));
    value = "unchanged";
    QVERIFY(file.FindKeyword("#AT_END"));
    QVERIFY(!file.Extract(0, &value));
    QCOMPARE(value, QString("unchanged"));
}

void TestKeywordFile::notOpen()
{
    QFileRead file(m_czScratch + "/missing.idh");
    QVERIFY(!file.open(QIODevice::ReadOnly));
    QString value;
    QVERIFY(!file.FindKeyword("#LABEL"));
    QVERIFY(!file.Extract(0, &value));
}

void TestKeywordFile::setLineReplacesAppendsCreates()
{
    const QString path = m_czScratch + "/s.idh";
    QVERIFY(SetLine(path, "#LABEL", "first"));
    QCOMPARE(ReadBytes(path), QByteArray("#LABEL\r\nfirst\r\n"));
    QVERIFY(SetLine(path, "#MIN_TRACK", "2"));
    QVERIFY(SetLine(path, "#LABEL", "second"));
    QCOMPARE(ReadBytes(path), QByteArray("#LABEL\r\nsecond\r\n#MIN_TRACK\r\n2\r\n"));

    // A keyword on the last line gets its value line; LF-only lines become CR LF.
    WriteBytes(path, "#A\n1|\n#B");
    QVERIFY(SetLine(path, "#B", "9|"));
    QCOMPARE(ReadBytes(path), QByteArray("#A\r\n1|\r\n#B\r\n9|\r\n"));

    QVERIFY(SetLine(path, "#LABEL", "two\r\nlines"));
    QCOMPARE(ReadBytes(path), QByteArray("#A\r\n1|\r\n#B\r\n9|\r\n#LABEL\r\ntwo  lines\r\n"));

    // No temporary file is left beside it.
    QCOMPARE(QDir(m_czScratch).entryList(QDir::Files | QDir::Hidden), QStringList({"s.idh"}));
}

void TestKeywordFile::setLineKeepsFileWhenFolderNotWritable()
{
    const QString path = m_czScratch + "/keep.idh";
    const QByteArray before = "#LABEL\r\nold\r\n";
    WriteBytes(path, before);
    SetWritabilityProbe([](const QString&) { return false; });
    QSignalSpy spy(m_pLogger, &MessageLoging::signal_message);
    QVERIFY(!SetLine(path, "#LABEL", "new"));
    QCOMPARE(ReadBytes(path), before);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QString("Settings file"));
    QCOMPARE(spy.at(0).at(1).toString(), QString("Unable to open target file !"));
    QVERIFY(!SetLine(m_czScratch + "/new.idh", "#LABEL", "new"));
    QVERIFY(!QFileInfo::exists(m_czScratch + "/new.idh"));
    QCOMPARE(QDir(m_czScratch).entryList(QDir::Files | QDir::Hidden), QStringList({"keep.idh"}));
}

void TestKeywordFile::setLineOnDirectoryTarget()
{
    const QString path = m_czScratch + "/folder.idh";
    QVERIFY(QDir().mkpath(path + "/inside"));
    QSignalSpy spy(m_pLogger, &MessageLoging::signal_message);
    QVERIFY(!SetLine(path, "#LABEL", "x"));
    QCOMPARE(spy.count(), 1);
    QVERIFY(spy.at(0).at(0).toString().startsWith("Settings file"));
    QVERIFY(QFileInfo(path + "/inside").isDir());
    QCOMPARE(QDir(m_czScratch).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestKeywordFile::setLineRoundTrip()
{
    const QString path = m_czScratch + "/r.idh";
    const QString long600 = QString(600, 'w') + "|";
    QVERIFY(SetLine(path, "#PLAYER_TRACK_VOL", "4|4|4|"));
    QVERIFY(SetLine(path, "#LONG", long600));
    QVERIFY(SetLine(path, "#PLAYER_TRACK_VOL", "1|2|3|"));
    // Lines longer than the reader's limit are copied whole.
    QVERIFY(ReadBytes(path).contains(long600.toLatin1()));
    QFileRead file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QString value;
    QVERIFY(file.FindKeyword("#PLAYER_TRACK_VOL"));
    QVERIFY(file.Extract(2, &value));
    QCOMPARE(value, QString("3"));
}

void TestKeywordFile::iniTextAsQSettingsWritesIt_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");
    QTest::newRow("blanks at both ends") << "Group/name" << QVariant(" lead and trail ");
    QTest::newRow("separators") << "Group/name" << QVariant("a;b,c=d");
    QTest::newRow("quotes and backslashes") << "Group/name" << QVariant("say \"hi\" C:\\x");
    QTest::newRow("control characters") << "Group/name" << QVariant("tab\there\nline\x01end\r");
    QTest::newRow("past ASCII, a digit after") << "Group/name" << QVariant(QString::fromUtf8("\xc3\xa9" "1 \xce\xa9" "f"));
    QTest::newRow("an at sign first") << "Group/name" << QVariant("@home");
    QTest::newRow("a list of texts") << "Header/L_0" << QVariant(QStringList{"0~|~Scene", "a, b", "", " x"});
    QTest::newRow("a list of one") << "Header/L_1" << QVariant(QStringList{"one"});
    QTest::newRow("an empty list") << "Header/L_2" << QVariant(QStringList());
    QTest::newRow("a point") << "MainWindow/pos" << QVariant(QPoint(-4, 7));
    QTest::newRow("a top-level key") << "count" << QVariant(2);
    QTest::newRow("a group named General") << "General/format" << QVariant(1);
    QTest::newRow("a name of other characters") << QString::fromUtf8("Gr p/sub/\xc3\xa9") << QVariant("x");
    QTest::newRow("bytes") << "Group/name" << QVariant(QByteArray("\0\x01" "ab", 4));
    QTest::newRow("a date") << "Group/name" << QVariant(QDate(2024, 5, 1));
}

// The text put together in memory is the file QSettings writes for the
// same keys, beside keys of other sections, and reads back as set.
void TestKeywordFile::iniTextAsQSettingsWritesIt()
{
    QFETCH(QString, key);
    QFETCH(QVariant, value);
    const auto fill = [&](auto& settings) {
        settings.setValue("Vumeter/scale", 0);
        settings.beginGroup("Import");
        settings.setValue("lastPath", "/Volumes/CARD");
        settings.endGroup();
        settings.setValue(key, value);
    };
    const QString path = m_czScratch + "/written.ini";
    {
        QSettings written(path, QSettings::IniFormat);
        fill(written);
    }
    const QByteArray text = IniText(QString(), [&](IniKeys& keys) { fill(keys); });
    QCOMPARE(text, ReadBytes(path));
    // Kept keys are carried over as they read.
    QCOMPARE(IniText(path, [](IniKeys&) {}), text);
}

QTEST_GUILESS_MAIN(TestKeywordFile)
#include "test_keywordfile.moc"
