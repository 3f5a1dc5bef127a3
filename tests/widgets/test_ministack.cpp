#include <QApplication>
#include <QMouseEvent>
#include <QtTest>

#include "widgets/qbriselbluelabel.h"
#include "widgets/qbriselministack.h"
#include "widgets/qbriselministackmanager.h"

namespace {

QColor LookOf(QBriselMiniStack* field)
{
    return field->Label()->BackgroundColor();
}

const QColor kSelected(48, 140, 198);
const QColor kTranslucent(0, 0, 0, 30);

} // namespace

// Value labels, mini-stack fields and the manager that moves the selection between them.
class TestMiniStack : public QObject
{
    Q_OBJECT
private slots:
    void labelLooks_data();
    void labelLooks();
    void labelClicks();
    void fieldStates();
    void listOrderMoves();
    void gridMovesSkipNotApplicable();
    void upSkipsTouchingRow();
    void downFallsBackToLeft();
    void returnEscapeAndClicks();
    void singleFieldDoesNothing();
};

void TestMiniStack::labelLooks_data()
{
    QTest::addColumn<int>("scheme");
    QTest::addColumn<QColor>("selected");
    QTest::addColumn<QColor>("unselected");
    QTest::addColumn<QColor>("notApplicable");
    QTest::newRow("0") << 0 << kSelected << kTranslucent << kTranslucent;
    QTest::newRow("1") << 1 << kSelected << QColor(0, 102, 153) << kTranslucent;
    QTest::newRow("2") << 2 << QColor(189, 51, 164) << QColor(128, 49, 115) << QColor(112, 41, 99);
    QTest::newRow("3") << 3 << QColor(189, 51, 164) << kTranslucent << kTranslucent;
    QTest::newRow("other") << 7 << kSelected << QColor(128, 49, 115) << QColor(112, 41, 99);
}

void TestMiniStack::labelLooks()
{
    QFETCH(int, scheme);
    QFETCH(QColor, selected);
    QFETCH(QColor, unselected);
    QFETCH(QColor, notApplicable);
    QBriselBlueLabel label;
    label.SetupPadding(0);
    label.SetupBackGround(QBriselBlueLabel::tBackGround(scheme));
    QCOMPARE(label.BackgroundColor(), unselected);
    label.EnableBlue();
    QCOMPARE(label.BackgroundColor(), selected);
    label.NotApplicable();
    QCOMPARE(label.BackgroundColor(), notApplicable);
    QCOMPARE(label.styleSheet().contains("border-style: solid;"), scheme == 2 || scheme == 7);
    QVERIFY(label.styleSheet().startsWith("color: #ffffff;"));
    QVERIFY(label.styleSheet().endsWith("padding-left: 2px;padding-right: 2px;padding-bottom: 0px;padding-top: 1px;"));

    // With one padding for all sides, schemes 1 to 3 differ in two cells.
    QBriselBlueLabel uniform;
    uniform.SetupBackGround(QBriselBlueLabel::tBackGround(scheme));
    uniform.NotApplicable();
    if (scheme == 1)
        QCOMPARE(uniform.BackgroundColor(), QColor(0, 86, 137));
    QVERIFY(!uniform.styleSheet().contains("border-style"));
    if (scheme == 3) {
        uniform.DisableBlue();
        QCOMPARE(uniform.BackgroundColor(), QColor(96, 96, 96));
    }
}

void TestMiniStack::labelClicks()
{
    QBriselBlueLabel label;
    label.resize(100, 20);
    QSignalSpy clicks(&label, SIGNAL(signal_BlueLabelMouseClick(bool)));
    QTest::mousePress(&label, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseRelease(&label, Qt::LeftButton, Qt::NoModifier, QPoint(6, 5));
    QCOMPARE(clicks.count(), 0);
    QTest::mousePress(&label, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseRelease(&label, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(clicks.at(0).at(0).toBool(), false);

    // The toolkit's double click: press, release, double click, release.
    const QPointF at(5, 5);
    const QEvent::Type sequence[] = {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                     QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease};
    for (QEvent::Type type : sequence) {
        QMouseEvent event(type, at, label.mapToGlobal(at.toPoint()), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&label, &event);
    }
    QCOMPARE(clicks.count(), 4);
    QCOMPARE(clicks.at(1).at(0).toBool(), false);
    QCOMPARE(clicks.at(2).at(0).toBool(), true);
    QCOMPARE(clicks.at(3).at(0).toBool(), false);
}

void TestMiniStack::fieldStates()
{
    QWidget host;
    auto* field = new QBriselMiniStack(&host);
    QCOMPARE(int(field->GetState()), 1);
    QCOMPARE(field->currentIndex(), 0);
    QCOMPARE(field->count(), 3);
    field->SwitchStateTo(QBriselMiniStack::MINISTACK_SELECTED);
    QCOMPARE(LookOf(field), kSelected);
    field->SwitchStateTo(QBriselMiniStack::MINISTACK_EDIT);  // not editable: stays selected
    QCOMPARE(int(field->GetState()), 2);
    QCOMPARE(field->currentIndex(), 0);
    field->SetNotApplicable(true);
    QCOMPARE(int(field->GetState()), 2);
    QCOMPARE(LookOf(field), kTranslucent);
    field->SetNotApplicable(false);
    QCOMPARE(int(field->GetState()), 2);
    field->SetNotApplicable(true);
    field->SwitchStateTo(QBriselMiniStack::MINISTACK_SELECTED);
    QCOMPARE(int(field->GetState()), 1);
    emit field->Label()->signal_BlueLabelMouseClick(false);
    QVERIFY(!field->IsClicked());
}

// A grid of fields laid out on a host widget; navigation reads screen places.
struct FieldGrid
{
    QWidget host;
    QBriselMiniStackManager manager;
    QList<QBriselMiniStack*> fields;

    QBriselMiniStack* Add(int x, int y, int w = 80, int h = 20)
    {
        auto* field = new QBriselMiniStack(&host);
        field->setGeometry(x, y, w, h);
        fields.append(field);
        manager.InsertItem(field);
        return field;
    }
    void Start()
    {
        host.resize(600, 400);
        host.show();
        manager.MiniStackFieldManager(1);
    }
    int Selected() const
    {
        QBriselMiniStack* field = nullptr;
        if (manager.GetSelectedMiniStackField(&field) != 0)
            return -1;
        return fields.indexOf(field);
    }
};

void TestMiniStack::listOrderMoves()
{
    FieldGrid grid;
    for (int i = 0; i < 4; ++i)
        grid.Add(10 + 90 * i, 10);
    grid.Start();
    QCOMPARE(grid.Selected(), 0);
    grid.manager.MiniStackMoveLeft();
    QCOMPARE(grid.Selected(), 3);
    grid.manager.MiniStackMoveRight();
    QCOMPARE(grid.Selected(), 0);
    grid.fields[1]->SetNotApplicable(true);
    grid.manager.MiniStackMoveRight();
    QCOMPARE(grid.Selected(), 2);
    grid.fields[0]->SetNotApplicable(true);
    grid.fields[3]->SetNotApplicable(true);
    grid.manager.MiniStackMoveRight();  // every other field not applicable: comes back
    QCOMPARE(grid.Selected(), 2);
    grid.fields[2]->SetNotApplicable(true);
    grid.manager.MiniStackMoveRight();  // nothing applicable: nothing stays selected
    QCOMPARE(grid.Selected(), -1);
}

void TestMiniStack::gridMovesSkipNotApplicable()
{
    // Three rows of three, 10 pixels apart; the middle of the first row is not applicable.
    FieldGrid grid;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            grid.Add(10 + 100 * column, 10 + 30 * row);
    grid.fields[1]->SetNotApplicable(true);
    grid.Start();
    grid.manager.MiniStackSelectItem(grid.fields[7]);
    QCOMPARE(grid.Selected(), 7);
    grid.manager.MiniStackMoveUp();
    QCOMPARE(grid.Selected(), 4);
    // The field above is not applicable; a field entirely to the left never
    // counts in the first pass, one to the right does.
    grid.manager.MiniStackMoveUp();
    QCOMPARE(grid.Selected(), 2);
    grid.manager.MiniStackMoveDown();
    QCOMPARE(grid.Selected(), 5);
    grid.manager.MiniStackMoveDown();
    grid.manager.MiniStackMoveDown();  // nothing below: stays
    QCOMPARE(grid.Selected(), 8);
    grid.manager.MiniStackMoveRight();  // wraps to the first field
    QCOMPARE(grid.Selected(), 0);
    grid.manager.MiniStackMoveRight();  // skips the not-applicable one
    QCOMPARE(grid.Selected(), 2);
}

void TestMiniStack::upSkipsTouchingRow()
{
    FieldGrid grid;
    grid.Add(10, 10);             // 0: further up, with a gap
    grid.Add(10, 40);             // 1: touching the selected field's top
    QBriselMiniStack* selected = grid.Add(10, 60);
    grid.Start();
    grid.manager.MiniStackSelectItem(selected);
    grid.manager.MiniStackMoveUp();
    QCOMPARE(grid.Selected(), 0);

    // With no row having a gap, the nearest centre above wins.
    FieldGrid touching;
    touching.Add(10, 20);   // entirely to the left
    touching.Add(300, 40);  // touching
    QBriselMiniStack* low = touching.Add(300, 60);
    touching.Start();
    touching.manager.MiniStackSelectItem(low);
    touching.manager.MiniStackMoveUp();
    QCOMPARE(touching.Selected(), 1);
}

void TestMiniStack::downFallsBackToLeft()
{
    FieldGrid grid;
    QBriselMiniStack* start = grid.Add(300, 10);
    grid.Add(10, 100);   // far left, lower
    grid.Add(150, 50);   // nearer left
    grid.Start();
    QCOMPARE(grid.Selected(), 0);
    grid.manager.MiniStackSelectItem(start);
    grid.manager.MiniStackMoveDown();
    QCOMPARE(grid.Selected(), 2);
}

void TestMiniStack::returnEscapeAndClicks()
{
    FieldGrid grid;
    for (int i = 0; i < 3; ++i)
        grid.Add(10 + 90 * i, 10);
    grid.host.resize(400, 100);
    grid.host.show();
    QSignalSpy ok(&grid.manager, SIGNAL(signal_UserClickedOk(bool)));
    QCOMPARE(grid.manager.GetState(), 0);
    grid.manager.MiniStackFieldManager(0);  // Escape in Off: nothing
    QCOMPARE(grid.manager.GetState(), 0);

    // A click in Off only records the field as current.
    emit grid.fields[2]->Label()->signal_BlueLabelMouseClick(false);
    QCOMPARE(ok.count(), 1);
    QCOMPARE(grid.Selected(), -1);
    grid.manager.MiniStackFieldManager(1);
    QCOMPARE(grid.manager.GetState(), 1);
    QCOMPARE(grid.Selected(), 2);
    grid.manager.MiniStackFieldManager(1);  // no field is editable: stays Select
    QCOMPARE(grid.manager.GetState(), 1);

    emit grid.fields[0]->Label()->signal_BlueLabelMouseClick(false);
    QCOMPARE(grid.Selected(), 0);
    emit grid.fields[0]->Label()->signal_BlueLabelMouseClick(true);
    QCOMPARE(ok.count(), 3);
    QCOMPARE(ok.last().at(0).toBool(), true);

    grid.fields[1]->SetNotApplicable(true);
    emit grid.fields[1]->Label()->signal_BlueLabelMouseClick(false);
    QCOMPARE(ok.count(), 3);
    QCOMPARE(grid.Selected(), 0);

    grid.manager.MiniStackFieldManager(0);
    QCOMPARE(grid.manager.GetState(), 0);
    QCOMPARE(grid.Selected(), -1);
}

void TestMiniStack::singleFieldDoesNothing()
{
    FieldGrid grid;
    QBriselMiniStack* only = grid.Add(10, 10);
    grid.Start();
    QCOMPARE(grid.Selected(), 0);
    grid.manager.MiniStackMoveLeft();
    grid.manager.MiniStackMoveRight();
    grid.manager.MiniStackMoveUp();
    grid.manager.MiniStackMoveDown();
    grid.manager.MiniStackSelectItem(only);
    QCOMPARE(grid.Selected(), 0);
    QBriselMiniStack* edited = nullptr;
    QCOMPARE(grid.manager.GetEditMiniStackField(&edited), 1);
}

QTEST_MAIN(TestMiniStack)
#include "test_ministack.moc"
