// The Programming view and the Configuration Wizard against the simulated
// instrument: what the user sees at each step and what reached the instrument.
#include "SimFlash.h"
#include "SimRig.h"
#include "firmware/ConfigurationWizard.h"
#include "firmware/HexFilePage.h"
#include "firmware/ModelPage.h"
#include "firmware/ProgramPage.h"
#include "firmware/Programming.h"
#include "firmware/UnitsPage.h"
#include "firmware/WizardSheet.h"
#include "firmware/ProgrammingEngine.h"
#include "platform/Preferences.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTest>
#include <memory>

namespace {

class ScriptedPrompt : public IUserPrompt
{
public:
    void Message(const QString &, const QString &text, Icon) override { messages.append(text); }
    bool AskYesNo(const QString &, const QString &) override { return false; }
    bool AskOkCancel(const QString &, const QString &text) override
    {
        questions.append(text);
        return true;
    }
    QStringList messages;
    QStringList questions;
};

void Screenshot(QWidget *view, const QString &name)
{
    const QByteArray dir = qgetenv("ALTAVO_SCREENSHOTS");
    if (dir.isEmpty())
        return;
    view->grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + name + QStringLiteral(".png"));
}

QString ShippedImage(const QString &name)
{
    return QFileInfo(qEnvironmentVariable("ALTAVO_TEST_DATA") + QStringLiteral("/../../src/resources/firmware/") + name)
        .canonicalFilePath();
}

void ClearSettings()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(Pref::Organisation),
              QString::fromLatin1(Pref::Application))
        .clear();
}

template <class View> std::unique_ptr<View> Open(CInstrumentDoc &doc)
{
    auto view = std::make_unique<View>(doc);
    view->resize(view->FormSize());
    view->show();
    view->OnInitialUpdate();
    return view;
}

void Click(QAbstractButton *button)
{
    QVERIFY(button && button->isVisible() && button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
}

} // namespace

class TestFirmware : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { ClearSettings(); }

    void programmingViewRunsAndRemembers();
    void disableBoxFollowsProgramMode();
    void wizardFlow_data();
    void wizardFlow();
    void wizardRefusedFile();

private:
    QTemporaryDir m_settingsDir;
};

void TestFirmware::initTestCase()
{
    UseTemporarySettings(m_settingsDir);
    QVERIFY2(QFile::exists(ShippedImage(QStringLiteral("flashtst.hex"))), "ALTAVO_TEST_DATA names tests/data; run through ctest");
}

void TestFirmware::programmingViewRunsAndRemembers()
{
    CPreferences::SetString(QStringLiteral("Programming"), QStringLiteral("HexFile"), QStringLiteral("/fw/last.hex"));
    SimRig rig;
    ScriptedPrompt prompt;
    auto view = Open<CProgramming>(rig.doc);
    view->SetPrompt(&prompt);
    QCOMPARE(view->FileEdit()->text(), QStringLiteral("/fw/last.hex"));
    QCOMPARE(view->StatusText()->text(), QString());
    QVERIFY(rig.WaitIdle());

    // The shipped flash test image programs the simulator without a mismatch.
    const QString path = ShippedImage(QStringLiteral("flashtst.hex"));
    view->FileEdit()->setText(path);
    Click(view->ProgramButton());
    QCOMPARE(view->StatusText()->text(), QStringLiteral("Programming"));
    QVERIFY(rig.WaitFor([&] { return view->Engine().GetState() == CProgrammingEngine::State::Done; }));
    QVERIFY(rig.WaitIdle());
    QCOMPARE(view->StatusText()->text(), QStringLiteral("Done"));
    QCOMPARE(view->Progress()->value(), view->Progress()->maximum());
    QVERIFY(prompt.questions.isEmpty());
    QVERIFY(prompt.messages.isEmpty());
    QCOMPARE(CSimFlash::ProgramName(rig.sim.Instrument()), QByteArray("FLASHTST"));
    QCOMPARE(rig.sim.Instrument().SerialNumber(), 1u);
    QVERIFY(!view->DisableBox()->isChecked());
    // Kept under the board test's name; the ordinary file stays as it was.
    QCOMPARE(CPreferences::GetString(QStringLiteral("Programming"), QStringLiteral("FlashTestFile")), path);
    QCOMPARE(CPreferences::GetString(QStringLiteral("Programming"), QStringLiteral("HexFile")), QStringLiteral("/fw/last.hex"));
    Screenshot(view.get(), QStringLiteral("programming"));

    // A damaged file: the reason with its line, and nothing sent.
    QTemporaryDir dir;
    QFile damaged(dir.filePath(QStringLiteral("damaged.hex")));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write(":020000040000FA\r\n:02000000FFFF01\r\n:00000001FF\r\n");
    damaged.close();
    const quint64 before = rig.sim.RequestsHandled();
    view->FileEdit()->setText(damaged.fileName());
    Click(view->ProgramButton());
    QCOMPARE(prompt.messages.size(), 1);
    QVERIFY2(prompt.messages.first().contains(QStringLiteral(", line 2: wrong checksum")), qPrintable(prompt.messages.first()));
    QTest::qWait(50);
    QCOMPARE(rig.sim.RequestsHandled(), before);
    QCOMPARE(view->StatusText()->text(), QStringLiteral("Done")); // from the run before
}

void TestFirmware::disableBoxFollowsProgramMode()
{
    SimRig rig;
    auto view = Open<CProgramming>(rig.doc);
    QVERIFY(rig.WaitIdle());
    QVERIFY(!view->DisableBox()->isChecked());
    Click(view->DisableBox());
    QVERIFY(rig.WaitIdle());
    QVERIFY(rig.sim.Instrument().ProgramMode());
    QCOMPARE(rig.sim.Instrument().Ram(CProgrammingEngine::MarkerAddress, 3), QByteArray("ZVQ"));
    rig.doc.QueryProgramMode();
    QVERIFY(rig.WaitIdle());
    QVERIFY(view->DisableBox()->isChecked());
    Click(view->DisableBox());
    QVERIFY(rig.WaitIdle());
    QVERIFY(!rig.sim.Instrument().ProgramMode());
    QVERIFY(!view->DisableBox()->isChecked());
}

void TestFirmware::wizardFlow_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("configuration");
    QTest::addColumn<bool>("oxygen");
    QTest::newRow("48") << "01" << "48: ALTAVO, SOIL VAPOR" << "-01 %LEL HEX" << false;
    QTest::newRow("49") << "02" << "49: ALTAVO, FUEL VAPOR" << "-02 %LEL HEX" << true;
}

void TestFirmware::wizardFlow()
{
    QFETCH(QString, keys);
    QFETCH(QString, model);
    QFETCH(QString, configuration);
    QFETCH(bool, oxygen);
    const bool shots = QTest::currentDataTag() == QLatin1String("49");
    SimRig rig;
    ScriptedPrompt prompt;
    auto view = Open<CConfigurationWizard>(rig.doc);
    CWizardSheet *sheet = view->Sheet();
    static_cast<CProgramPage *>(sheet->Page(CWizardSheet::ProgramPageId))->SetPrompt(&prompt);
    QAbstractButton *next = sheet->button(QWizard::NextButton);
    QAbstractButton *back = sheet->button(QWizard::BackButton);
    auto at = [&](int id) { return rig.WaitFor([&] { return sheet->currentId() == id; }, 5000); };

    // Page 1: no model yet; two typed digits pick one by position.
    auto *modelPage = static_cast<CModelPage *>(sheet->Page(CWizardSheet::ModelPageId));
    QCOMPARE(sheet->currentId(), int(CWizardSheet::ModelPageId));
    QCOMPARE(modelPage->List()->currentIndex(), -1);
    QVERIFY(!next->isEnabled());
    QVERIFY(!back->isVisible() || !back->isEnabled());
    modelPage->List()->setFocus();
    QTest::keyClicks(modelPage->List(), QStringLiteral("x") + keys);
    QCOMPARE(modelPage->List()->currentText(), model);
    QVERIFY(next->isEnabled());
    QCOMPARE(next->text(), QStringLiteral("&Next >"));
    if (shots)
        Screenshot(view.get(), QStringLiteral("wizard-1-model"));

    // Page 2: "%LEL HEX" alone, selected.
    Click(next);
    QVERIFY(at(CWizardSheet::UnitsPageId));
    auto *units = static_cast<CUnitsPage *>(sheet->Page(CWizardSheet::UnitsPageId));
    QCOMPARE(units->ModelText()->text(), model);
    QCOMPARE(units->Button(1)->text(), QStringLiteral("%LEL HEX"));
    QVERIFY(units->Button(1)->isChecked());
    for (int n = 2; n <= 4; ++n)
        QVERIFY(units->Button(n)->isHidden());
    QVERIFY(back->isEnabled() && next->isEnabled());
    if (shots)
        Screenshot(view.get(), QStringLiteral("wizard-2-units"));

    // The special-gas page passes itself going forward and going back.
    Click(next);
    QVERIFY(at(CWizardSheet::HexFilePageId));
    QVERIFY(sheet->Page(CWizardSheet::SpecialGasPageId)->Skipped());
    Click(back);
    QVERIFY(at(CWizardSheet::UnitsPageId));
    QTest::qWait(20);
    QCOMPARE(sheet->currentId(), int(CWizardSheet::UnitsPageId));
    QVERIFY(units->Button(1)->isChecked());
    Click(next);
    QVERIFY(at(CWizardSheet::HexFilePageId));

    // Page 4: the file; Next only with a name, and the name is kept.
    auto *hexPage = static_cast<CHexFilePage *>(sheet->Page(CWizardSheet::HexFilePageId));
    hexPage->FileEdit()->clear();
    QVERIFY(!next->isEnabled());
    const QString path = ShippedImage(QStringLiteral("mustprog.hex"));
    hexPage->FileEdit()->setText(path);
    QVERIFY(next->isEnabled());
    if (shots)
        Screenshot(view.get(), QStringLiteral("wizard-4-hexfile"));
    Click(next);
    QVERIFY(at(CWizardSheet::ProgramPageId));
    QCOMPARE(CPreferences::GetString(QStringLiteral("Wizard"), QStringLiteral("HexFile")), path);

    // Page 5: the earlier choices, then programming on Next.
    auto *programPage = static_cast<CProgramPage *>(sheet->Page(CWizardSheet::ProgramPageId));
    QCOMPARE(programPage->ChoiceText(1)->text(), model);
    QCOMPARE(programPage->ChoiceText(2)->text(), QStringLiteral("%LEL HEX"));
    QCOMPARE(programPage->ChoiceText(3)->text(), QString());
    QCOMPARE(programPage->ChoiceText(4)->text(), path);
    QCOMPARE(programPage->StatusText()->text(), QStringLiteral("Press Next to start programming"));
    if (shots)
        Screenshot(view.get(), QStringLiteral("wizard-5-program"));
    QVERIFY(rig.WaitIdle());
    Click(next);
    QCOMPARE(programPage->StatusText()->text(), QStringLiteral("Downloading code"));
    QCOMPARE(sheet->currentId(), int(CWizardSheet::ProgramPageId));
    QVERIFY(at(CWizardSheet::DonePageId));
    QVERIFY(rig.WaitIdle());

    CSimInstrument &sim = rig.sim.Instrument();
    QCOMPARE(QString::fromLatin1(sim.ConfigurationText()), configuration);
    QVERIFY(sim.IsConfigurationValid());
    QCOMPARE(bool(sim.TimeKeeperByte(61) & 0x02), oxygen);
    QCOMPARE(sim.SerialNumber(), 1u);
    QCOMPARE(CSimFlash::ProgramName(sim), QByteArray("MUSTPROG"));
    QVERIFY(prompt.questions.isEmpty());

    // Page 6: Back and "&Start Over".
    QAbstractButton *startOver = sheet->button(QWizard::FinishButton);
    QCOMPARE(startOver->text(), QStringLiteral("&Start Over"));
    QVERIFY(startOver->isVisible() && startOver->isEnabled());
    QVERIFY(back->isEnabled());
    if (shots)
        Screenshot(view.get(), QStringLiteral("wizard-6-done"));

    // The next instrument with the same choices gets the next serial number.
    Click(back);
    QVERIFY(at(CWizardSheet::ProgramPageId));
    QCOMPARE(programPage->StatusText()->text(), QStringLiteral("Press Next to start programming"));
    QCOMPARE(programPage->Progress()->value(), 0);
    Click(next);
    QVERIFY(at(CWizardSheet::DonePageId));
    QVERIFY(rig.WaitIdle());
    QCOMPARE(sim.SerialNumber(), 2u);

    // Start Over: new choices, from an empty model list.
    Click(startOver);
    QVERIFY(at(CWizardSheet::ModelPageId));
    QCOMPARE(modelPage->List()->currentIndex(), -1);
    QVERIFY(!next->isEnabled());
    QCOMPARE(next->text(), QStringLiteral("&Next >"));
}

void TestFirmware::wizardRefusedFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cut.hex"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(":020000040000FA\r\n:10800000464C41534854535400100310\r\n:00000001FF\r\n");
    file.close();
    CPreferences::SetString(QStringLiteral("Wizard"), QStringLiteral("HexFile"), path);

    SimRig rig;
    ScriptedPrompt prompt;
    auto view = Open<CConfigurationWizard>(rig.doc);
    CWizardSheet *sheet = view->Sheet();
    auto *programPage = static_cast<CProgramPage *>(sheet->Page(CWizardSheet::ProgramPageId));
    programPage->SetPrompt(&prompt);
    auto *modelPage = static_cast<CModelPage *>(sheet->Page(CWizardSheet::ModelPageId));
    QTest::keyClicks(modelPage->List(), QStringLiteral("02"));
    auto at = [&](int id) { return rig.WaitFor([&] { return sheet->currentId() == id; }, 5000); };
    for (int id : {int(CWizardSheet::UnitsPageId), int(CWizardSheet::HexFilePageId), int(CWizardSheet::ProgramPageId)}) {
        sheet->next();
        QVERIFY(at(id));
    }
    QCOMPARE(static_cast<CHexFilePage *>(sheet->Page(CWizardSheet::HexFilePageId))->FileEdit()->text(), path);
    QVERIFY(rig.WaitIdle());
    const quint64 before = rig.sim.RequestsHandled();
    Click(sheet->button(QWizard::NextButton));
    QCOMPARE(prompt.messages.size(), 1);
    QVERIFY2(prompt.messages.first().contains(QStringLiteral(", line 2: ")), qPrintable(prompt.messages.first()));
    QCOMPARE(programPage->StatusText()->text(), QStringLiteral("Error, please press back"));
    QVERIFY(!sheet->button(QWizard::NextButton)->isEnabled());
    QVERIFY(sheet->button(QWizard::BackButton)->isEnabled());
    QTest::qWait(50);
    QCOMPARE(rig.sim.RequestsHandled(), before);
}

QTEST_MAIN(TestFirmware)
#include "tst_firmware.moc"
