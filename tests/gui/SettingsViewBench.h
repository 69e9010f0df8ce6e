// The fixture of the settings views' window tests: a document joined to a
// simulated instrument whose time moves only when the test says so, and the
// small helpers that drive the views' lists and fields.
#pragma once

#include "SimRig.h"
#include "SimDefaults.h"
#include "views/AdvancedFeatures.h"
#include "views/DatalogFeatures.h"
#include "views/DisplayMode.h"
#include "views/FormIdDialog.h"
#include "views/FormIdList.h"
#include "views/FormNumberField.h"
#include "views/FormRadioGroup.h"
#include "views/FormValueList.h"
#include "views/Sensors.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <memory>

// An instrument whose time moves only when the test says so, so that peaks
// and averages build up without waiting.
struct Bench
{
    QDateTime now{QDate(2031, 6, 15), QTime(10, 0, 0)};
    SimRig rig;

    Bench() { rig.sim.Instrument().SetTimeSource([this] { return now; }); }
    CSimInstrument &Instrument() { return rig.sim.Instrument(); }
    CInstrumentDoc &Doc() { return rig.doc; }

    bool Upload()
    {
        rig.doc.SetIdEntriesWanted(true);
        rig.doc.UploadAll();
        return rig.WaitIdle();
    }
    bool Poll()
    {
        rig.doc.PollInstrument();
        return rig.WaitIdle();
    }
    bool Download()
    {
        rig.doc.DownloadAll();
        return rig.WaitIdle();
    }
    // The instrument's TimeKeeper block read through the program's own accessors.
    std::unique_ptr<CSettingsImage> InstrumentSettings()
    {
        auto s = std::make_unique<CSettingsImage>(rig.doc.Words());
        s->StoreTimeKeeper(0, Instrument().TimeKeeper());
        const CSettingsImage &d = rig.doc.Settings();
        s->SetToxicCount(d.ToxicCount());
        for (int i = 0; i < d.ToxicCount(); ++i)
            s->SetToxicRecord(i, d.ToxicRecord(i));
        return s;
    }
    template <class View> std::unique_ptr<View> Open()
    {
        auto view = std::make_unique<View>(rig.doc);
        view->resize(view->FormSize());
        view->show();
        view->OnInitialUpdate();
        return view;
    }
};

inline void Choose(QComboBox *list, const QString &text)
{
    const int i = list->findText(text);
    QVERIFY2(i >= 0, qPrintable(text));
    list->setCurrentIndex(i);
    emit list->activated(i);
}

inline void Type(CFormValueList *list, const QString &text)
{
    list->setEditText(text);
    emit list->lineEdit()->editingFinished();
}

inline QStringList Items(const QComboBox *list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items.append(list->itemText(i));
    return items;
}

inline void PutWord(QByteArray &bytes, int offset, quint16 value)
{
    bytes[offset] = char(value & 0xFF);
    bytes[offset + 1] = char(value >> 8);
}

inline void Screenshot(QWidget *view, const QString &name)
{
    const QByteArray dir = qgetenv("ALTAVO_SCREENSHOTS");
    if (dir.isEmpty())
        return;
    view->grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + name + QStringLiteral(".png"));
}

inline QString Cal(const QDate &d) { return d.toString(QStringLiteral("MM/dd/yyyy")); }

