#include <QIcon>
#include <QPixmap>
#include <QtTest>

#include "widgets/sharedfonts.h"

// The icons the widgets and windows name by resource path.
class TestResources : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void iconLoads_data();
    void iconLoads();
};

void TestResources::initTestCase()
{
    QVERIFY(RegisterSharedFonts());
}

void TestResources::iconLoads_data()
{
    QTest::addColumn<QString>("name");
    const char* const names[] = {
        "icon_dir.png",     "icon_dir_day.png",      "icon_dir_proj.png",
        "mono_file.png",    "poly_file.png",         "stereo_file.png",
        "icon_add_day.png", "icon_add_proj.png",     "up_arrow.png",
        "Play.png",         "Pause.png",             "ButtonPreferences.png",
        "ButtonReport.png", "ButtonReportOption.png", "Red_circle.png",
        "GoBack.png",       "Insert.png",            "delete.png",
        "Anvil.png",        "Stop.png",              "Menu.png",
        "reload.png",       "Import.png",            "folder48.png",
        "switch_report.png", "down_arrow.png",       "combobox_down_arrow.png",
        "combobox_down_arrow_disabled.png",          "fader.png",
        "checkbox_checked.png",          "checkbox_unchecked.png",
        "checkbox_checked_focus.png",    "checkbox_unchecked_focus.png",
        "checkbox_checked_disabled.png", "checkbox_unchecked_disabled.png"};
    for (const char* name : names)
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestResources::iconLoads()
{
    QFETCH(QString, name);
    const QString path = QStringLiteral(":/res/Resources/") + name;
    const QPixmap pixmap(path);
    QVERIFY2(!pixmap.isNull(), qPrintable(path));
    QVERIFY(pixmap.hasAlphaChannel());
    // Drawn on a transparent ground, and not blank.
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    int drawn = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            drawn += qAlpha(image.pixel(x, y)) > 0;
    QVERIFY(drawn > image.width());
    QVERIFY(!QIcon(path).pixmap(QSize(16, 16)).isNull());
}

QTEST_MAIN(TestResources)
#include "test_resources.moc"
