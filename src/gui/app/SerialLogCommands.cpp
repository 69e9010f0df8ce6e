// The protocol trace preference and dialog.
#include "SerialLogCommands.h"

#include "link/InstrumentLink.h"
#include "link/LinkTrace.h"
#include "platform/Preferences.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const QString Section = QString::fromLatin1(Pref::Preferences);
const QString Key = QString::fromLatin1(Pref::SerialLogFile);
} // namespace

CSerialLogCommands::CSerialLogCommands(CInstrumentLink &link, QWidget *window)
    : QObject(window), m_link(link), m_window(window)
{
    // The link reads the preference when it is made; the trace follows it.
    Apply(link.SerialLogFileName());
}

CSerialLogCommands::~CSerialLogCommands() = default;

QString CSerialLogCommands::Path() const
{
    return m_trace ? m_trace->Path() : QString();
}

bool CSerialLogCommands::IsTracing() const
{
    return m_trace && m_trace->IsWriting();
}

void CSerialLogCommands::Apply(const QString &path)
{
    delete m_trace;
    m_trace = nullptr;
    if (!path.isEmpty()) {
        m_trace = new CLinkTrace(m_link, this);
        connect(m_trace, &CLinkTrace::Warning, this, &CSerialLogCommands::Warn);
        QString error;
        if (!m_trace->Open(path, &error))
            Warn(error + QStringLiteral("."));
    }
    emit Changed(IsTracing());
}

void CSerialLogCommands::Warn(const QString &message)
{
    // Not from inside the link's reply handling: a modal box there would sit
    // in the middle of the conversation.
    QTimer::singleShot(0, m_window, [window = m_window, message] {
        QMessageBox::warning(window, QStringLiteral("Serial Log File"), message);
    });
}

void CSerialLogCommands::Choose()
{
    QDialog dialog(m_window);
    dialog.setObjectName(QStringLiteral("serialLogDialog"));
    dialog.setWindowTitle(QStringLiteral("Serial Log File"));
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(
        QStringLiteral("Every message to and from the instrument is written to this file, for support.\n"
                       "Leave it empty to keep no trace."),
        &dialog));
    auto *row = new QHBoxLayout;
    auto *edit = new QLineEdit(CPreferences::GetString(Section, Key, QString()), &dialog);
    edit->setObjectName(QStringLiteral("serialLogPath"));
    edit->setMinimumWidth(360);
    auto *browse = new QPushButton(QStringLiteral("&Browse..."), &dialog);
    row->addWidget(edit);
    row->addWidget(browse);
    layout->addLayout(row);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    connect(browse, &QPushButton::clicked, &dialog, [&dialog, edit] {
        const QString chosen = QFileDialog::getSaveFileName(&dialog, QStringLiteral("Serial Log File"), edit->text(),
                                                            QStringLiteral("Trace files (*.log *.txt);;All files (*)"));
        if (!chosen.isEmpty())
            edit->setText(chosen);
    });
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString path = edit->text().trimmed();
    CPreferences::SetString(Section, Key, path);
    Apply(path);
}
