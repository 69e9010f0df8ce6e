// Loading and saving options files from the File menu.
#include "OptionsFileCommands.h"

#include "document/InstrumentDoc.h"
#include "platform/Preferences.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QStatusBar>

namespace {
const QString MainSection = QString::fromLatin1(Pref::MainWindow);
} // namespace

void COptionsFileCommands::ChooseLoad()
{
    const QString dir = CPreferences::GetString(MainSection, QString::fromLatin1(Pref::Directory), QStringLiteral("."));
    QFileDialog dialog(m_window, QStringLiteral("Load Options"), dir, QStringLiteral("KVO Files (*.kvo);;All Files (*.*)"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("kvo"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().first();
    CPreferences::SetString(MainSection, QString::fromLatin1(Pref::Directory), QFileInfo(path).absolutePath());
    Load(path);
}

void COptionsFileCommands::ChooseSave()
{
    const QString dir = CPreferences::GetString(MainSection, QString::fromLatin1(Pref::Directory), QStringLiteral("."));
    QFileDialog dialog(m_window, QStringLiteral("Save Options"), dir, QStringLiteral("KVO Files (*.kvo);;All Files (*.*)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("kvo"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().first();
    CPreferences::SetString(MainSection, QString::fromLatin1(Pref::Directory), QFileInfo(path).absolutePath());
    Save(path);
}

bool COptionsFileCommands::Load(const QString &path)
{
    QString error;
    QStringList warnings;
    if (!m_doc.LoadOptions(path, &error, &warnings)) {
        QMessageBox::warning(m_window, QStringLiteral("Load Options"), error);
        return false;
    }
    if (!warnings.isEmpty()) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Load Options"),
                        QStringLiteral("Some settings in %1 could not be taken as the file gives them. "
                                       "Check them before you download.")
                            .arg(QFileInfo(path).fileName()),
                        QMessageBox::Ok, m_window);
        box.setDetailedText(warnings.join(QLatin1Char('\n')));
        box.exec();
    }
    m_window->statusBar()->showMessage(QStringLiteral("Loaded %1").arg(QDir::toNativeSeparators(path)));
    return true;
}

bool COptionsFileCommands::Save(const QString &path)
{
    QString error;
    if (!m_doc.SaveOptions(path, &error)) {
        QMessageBox::warning(m_window, QStringLiteral("Save Options"), error);
        return false;
    }
    m_window->statusBar()->showMessage(QStringLiteral("Saved %1").arg(QDir::toNativeSeparators(path)));
    return true;
}
