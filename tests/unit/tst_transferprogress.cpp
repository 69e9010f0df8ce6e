// The document's progress and notice windows: distinct-step counting, closing
// when done, and the short suppression of a repeated notice.
#include "document/NoticeWindow.h"
#include "document/TransferProgress.h"
#include "platform/Clock.h"

#include <QSignalSpy>
#include <QtTest>

class TestTransferProgress : public QObject
{
    Q_OBJECT
private slots:
    void markStep_data();
    void markStep();
    void signalsFollowTheBar();
    void showAgain();
    void callerDrivenBar();
    void noticeRepeat_data();
    void noticeRepeat();
    void noticeButtonText_data();
    void noticeButtonText();
    void noticeReopens();
};

void TestTransferProgress::markStep_data()
{
    QTest::addColumn<int>("steps");
    QTest::addColumn<QList<int>>("marks");
    QTest::addColumn<int>("position");
    QTest::addColumn<bool>("open");

    QTest::newRow("distinct steps") << 5 << QList<int>{0, 3, 1} << 3 << true;
    QTest::newRow("a repeated reply counts once") << 5 << QList<int>{1, 1, 1, 2} << 2 << true;
    QTest::newRow("repeats cannot close early") << 3 << QList<int>{0, 0, 1, 1, 1} << 2 << true;
    QTest::newRow("outside the steps ignored") << 3 << QList<int>{-1, 3, 100, 0} << 1 << true;
    QTest::newRow("every step done closes") << 3 << QList<int>{2, 0, 1} << 3 << false;
    QTest::newRow("no steps") << 0 << QList<int>{0, 1} << 0 << true;
}

void TestTransferProgress::markStep()
{
    QFETCH(int, steps);
    QFETCH(QList<int>, marks);
    QFETCH(int, position);
    QFETCH(bool, open);

    CTransferProgress progress;
    progress.Show(QStringLiteral("Uploading"), steps);
    for (int step : marks)
        progress.MarkStep(step);
    QCOMPARE(progress.Position(), position);
    QCOMPARE(progress.StepsDone(), position);
    QCOMPARE(progress.Maximum(), steps);
    QCOMPARE(progress.IsOpen(), open);
}

void TestTransferProgress::signalsFollowTheBar()
{
    CTransferProgress progress;
    QSignalSpy opened(&progress, &CTransferProgress::Opened);
    QSignalSpy changed(&progress, &CTransferProgress::Changed);
    QSignalSpy closed(&progress, &CTransferProgress::Closed);

    progress.Show(QStringLiteral("Downloading"), 2);
    QCOMPARE(opened.size(), 1);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.last(), (QVariantList{QStringLiteral("Downloading"), 0, 0, 2}));

    progress.MarkStep(1);
    progress.MarkStep(1);
    QCOMPARE(changed.size(), 2);
    QCOMPARE(closed.size(), 0);

    progress.MarkStep(0);
    QCOMPARE(changed.last(), (QVariantList{QStringLiteral("Downloading"), 2, 0, 2}));
    QCOMPARE(closed.size(), 1);
    progress.MarkStep(0);
    progress.Close();
    QCOMPARE(closed.size(), 1);
    QCOMPARE(opened.size(), 1);
}

void TestTransferProgress::showAgain()
{
    CTransferProgress progress;
    progress.Show(QStringLiteral("Uploading"), 4);
    progress.MarkStep(0);
    progress.MarkStep(1);

    // A caption alone keeps the count and the steps already done.
    progress.Show(QStringLiteral("Clearing Log"));
    QCOMPARE(progress.Caption(), QStringLiteral("Clearing Log"));
    QCOMPARE(progress.Position(), 2);
    progress.MarkStep(1);
    QCOMPARE(progress.Position(), 2);

    // A new step count starts over: step 1 counts again.
    progress.Close();
    progress.Show(QStringLiteral("Uploading"), 4);
    QVERIFY(progress.IsOpen());
    QCOMPARE(progress.Position(), 0);
    QVERIFY(!progress.IsStepDone(1));
    progress.MarkStep(1);
    QCOMPARE(progress.Position(), 1);
}

void TestTransferProgress::callerDrivenBar()
{
    CTransferProgress progress;
    progress.Show(QStringLiteral("Uploading Log"));
    progress.SetRange(0, 100);
    progress.SetPosition(40);
    QCOMPARE(progress.Position(), 40);
    progress.SetPosition(250);
    QCOMPARE(progress.Position(), 100);
    // Without steps there is nothing to complete: the caller closes it.
    progress.MarkStep(0);
    QVERIFY(progress.IsOpen());
    progress.Close();
    QVERIFY(!progress.IsOpen());
}

void TestTransferProgress::noticeRepeat_data()
{
    QTest::addColumn<double>("later");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("replaced");

    QTest::newRow("same caption within 0.1 s") << 0.05 << "Communications Error" << false;
    QTest::newRow("same caption after 0.1 s") << 0.15 << "Communications Error" << true;
    QTest::newRow("other caption at once") << 0.0 << "Serial Connection" << true;
}

void TestTransferProgress::noticeRepeat()
{
    QFETCH(double, later);
    QFETCH(QString, caption);
    QFETCH(bool, replaced);

    CManualClock clock;
    CNoticeWindow notice(clock);
    QSignalSpy changed(&notice, &CNoticeWindow::Changed);
    notice.ShowNotice(QStringLiteral("Communications Error"), QStringLiteral("Check connections"), CNoticeWindow::IdCancel);
    clock.Advance(later);
    notice.ShowNotice(caption, QStringLiteral("second"), CNoticeWindow::IdOk);

    QVERIFY(notice.IsOpen());
    QCOMPARE(changed.size(), replaced ? 2 : 1);
    QCOMPARE(notice.Caption(), caption);
    QCOMPARE(notice.Text(), replaced ? QStringLiteral("second") : QStringLiteral("Check connections"));
    QCOMPARE(notice.ButtonId(), replaced ? int(CNoticeWindow::IdOk) : int(CNoticeWindow::IdCancel));
}

void TestTransferProgress::noticeButtonText_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("shown");

    QTest::newRow("ok by default") << 1 << "" << "Ok";
    QTest::newRow("cancel by default") << 2 << "" << "Cancel";
    QTest::newRow("own text kept") << 2 << "Retry" << "Retry";
    QTest::newRow("other id has no default") << 7 << "" << "";
}

void TestTransferProgress::noticeButtonText()
{
    QFETCH(int, id);
    QFETCH(QString, given);
    QFETCH(QString, shown);

    CManualClock clock;
    CNoticeWindow notice(clock);
    notice.ShowNotice(QStringLiteral("Notice"), QStringLiteral("text"), id, given);
    QCOMPARE(notice.ButtonId(), id);
    QCOMPARE(notice.ButtonText(), shown);
}

void TestTransferProgress::noticeReopens()
{
    CManualClock clock;
    CNoticeWindow notice(clock);
    QSignalSpy opened(&notice, &CNoticeWindow::Opened);
    QSignalSpy closed(&notice, &CNoticeWindow::Closed);

    notice.ShowNotice(QStringLiteral("Communications Error"), QStringLiteral("Check connections"), CNoticeWindow::IdCancel);
    notice.Close();
    notice.Close();
    QVERIFY(!notice.IsOpen());
    QCOMPARE(closed.size(), 1);

    // Even inside the repeat window a closed notice comes back when raised.
    clock.Advance(0.02);
    notice.ShowNotice(QStringLiteral("Communications Error"), QStringLiteral("Check connections"), CNoticeWindow::IdCancel);
    QVERIFY(notice.IsOpen());
    QCOMPARE(opened.size(), 2);

    // The 0.1 s run from when the content was last set, not from the last call.
    clock.Advance(0.09);
    notice.ShowNotice(QStringLiteral("Communications Error"), QStringLiteral("later"));
    QCOMPARE(notice.Text(), QStringLiteral("later"));
}

QTEST_GUILESS_MAIN(TestTransferProgress)
#include "tst_transferprogress.moc"
