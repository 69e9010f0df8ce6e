// The "Interactive Test" view over the simulated board: the tree with its
// state images, the prompt window and its "Cancel", the programming view asked
// for, and a picture of the view mid-run.
#include "AgreeingOperator.h"
#include "ScriptedOperator.h"
#include "SimRig.h"
#include "app/CommandIds.h"
#include "boardtest/BoardTestPrompt.h"
#include "boardtest/BoardTestSequence.h"
#include "boardtest/InteractiveTest.h"
#include "platform/Preferences.h"

#include <QApplication>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {
using Operator = AgreeingOperator;

bool ShowsImage(QTreeWidgetItem *item, const char *image)
{
    return item->icon(0).pixmap(16, 16).toImage() == QIcon(QString::fromLatin1(image)).pixmap(16, 16).toImage();
}
} // namespace

class TestBoardTestView : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { UseTemporarySettings(m_settings); }
    void runShowsInTreeAndPrompt();
    void refusedRecoveryFailsPower();

private:
    QTemporaryDir m_settings;
};

void TestBoardTestView::runShowsInTreeAndPrompt()
{
    SimRig rig;
    for (int s = 0; s < SimMap::SectorCount; ++s)
        rig.sim.Instrument().EraseSector(s);
    CPreferences::SetString(QStringLiteral("Programming"), QStringLiteral("FlashTestFile"),
                            QFINDTESTDATA("../../src/resources/firmware/flashtst.hex"));
    Operator op;
    CInteractiveTest view(rig.doc);
    view.SetPrompt(&op);
    view.Sequence().SetLimitsFile(QFINDTESTDATA("../../src/resources/boardtest/PCBTest.ini"));
    view.Sequence().SetReadInterval(2);
    QSignalSpy commands(&view, &CInstrumentView::CommandRequested);
    view.resize(view.FormSize());
    view.show();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] { rig.doc.UpdateAllViews(UpdateCode::Poll); });
    poll.start(20);
    view.OnInitialUpdate();

    QTreeWidget *tree = view.Tree();
    QCOMPARE(tree->topLevelItemCount(), 1);
    QTreeWidgetItem *root = tree->topLevelItem(0);
    QCOMPARE(root->text(0), QStringLiteral("Main PCB Test"));
    QStringList groups;
    for (int i = 0; i < root->childCount(); ++i)
        groups.append(root->child(i)->text(0));
    QCOMPARE(groups, (QStringList{"Power", "RAM", "Time Keeper", "Flash", "Digital I/O", "Analog I/O"}));
    QCOMPARE(root->child(4)->child(0)->child(1)->text(0), QStringLiteral("Pressed"));

    CBoardTestPrompt *window = view.PromptWindow();
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("Power On Test"));
    QCOMPARE(window->Text(), QStringLiteral("Connect the board and apply power"));
    QVERIFY(ShowsImage(root->child(0), ":/boardtest/running.xpm"));

    rig.sim.PowerCycle();
    QVERIFY(rig.WaitFor([&] { return window->windowTitle() == QLatin1String("Power On Current"); }));
    QCOMPARE(window->Text(), QStringLiteral("Check that the board current is between 20.0mA and 60.0mA"));
    QTest::mouseClick(window->CancelButton(), Qt::LeftButton);
    QVERIFY(rig.WaitFor([&] { return window->isVisible() && window->windowTitle() == QLatin1String("Power On Setup"); }));
    QTest::mouseClick(window->CancelButton(), Qt::LeftButton);

    // Mid-run: the flash group checks the sectors it has just erased.
    QVERIFY(rig.WaitFor([&] {
        return window->isVisible() && window->Text().startsWith(QLatin1String("Blank Checking"));
    }, 60000));
    QTreeWidgetItem *flash = root->child(CBoardTestTree::Flash);
    QTreeWidgetItem *blank = flash->child(2);
    QCOMPARE(window->windowTitle(), QStringLiteral("Flash Test"));
    QCOMPARE(tree->currentItem(), blank);
    QVERIFY(flash->isExpanded());
    QVERIFY(!root->child(CBoardTestTree::Ram)->isExpanded());
    QVERIFY(ShowsImage(root->child(CBoardTestTree::Ram), ":/boardtest/passed.xpm"));
    QVERIFY(ShowsImage(flash->child(0), ":/boardtest/passed.xpm"));
    QVERIFY(ShowsImage(blank, ":/boardtest/running.xpm"));
    QVERIFY(ShowsImage(flash->child(3), ":/boardtest/notrun.xpm"));
    QVERIFY(commands.contains(QVariantList{int(CommandId::Programming)}));

    const QByteArray folder = qgetenv("ALTAVO_SCREENSHOTS");
    if (!folder.isEmpty()) {
        const QPixmap left = view.grab();
        const QPixmap right = window->grab();
        QPixmap shot(left.width() + right.width() + 12, qMax(left.height(), right.height()));
        shot.fill(QColor(0xE0, 0xE0, 0xE0));
        QPainter painter(&shot);
        painter.drawPixmap(0, 0, left);
        painter.drawPixmap(left.width() + 12, 0, right);
        painter.end();
        QVERIFY(shot.save(QString::fromLocal8Bit(folder) + QStringLiteral("/boardtest.png")));
    }

    // "Cancel" ends the waiting item as failed and the test goes on.
    QTest::mouseClick(window->CancelButton(), Qt::LeftButton);
    QVERIFY(rig.WaitFor([&] { return tree->currentItem() == flash->child(3); }));
    QVERIFY(ShowsImage(blank, ":/boardtest/failed.xpm"));
    QVERIFY(op.messages.isEmpty());
    QVERIFY(rig.WaitFor([&] { return window->Text().startsWith(QLatin1String("Programming")); }));
}

void TestBoardTestView::refusedRecoveryFailsPower()
{
    // The board's boot loader will not take program mode: the Power group
    // fails as soon as it says so, without the operator giving up first.
    SimRig rig;
    SimBoardFaults faults;
    faults.recovery = true;
    rig.sim.Instrument().TestBox().SetFaults(faults);
    ScriptedOperator op;
    CInteractiveTest view(rig.doc);
    view.SetPrompt(&op);
    view.Sequence().SetLimitsFile(QFINDTESTDATA("../../src/resources/boardtest/PCBTest.ini"));
    QSignalSpy groups(&view.Sequence(), &CBoardTestSequence::GroupStarted);
    view.resize(view.FormSize());
    view.show();
    view.OnInitialUpdate();
    QCOMPARE(view.PromptWindow()->Text(), QStringLiteral("Connect the board and apply power"));
    rig.sim.PowerCycle();
    QVERIFY(rig.WaitFor([&] { return groups.count() >= 2; }));
    QCOMPARE(groups.at(1).at(0).toInt(), int(CBoardTestTree::Ram));
    QCOMPARE(op.messages, QStringList{QStringLiteral("Recovery Failed")});
    QVERIFY(ShowsImage(view.Tree()->topLevelItem(0)->child(CBoardTestTree::Power), ":/boardtest/failed.xpm"));
}

QTEST_MAIN(TestBoardTestView)
#include "tst_boardtest.moc"
