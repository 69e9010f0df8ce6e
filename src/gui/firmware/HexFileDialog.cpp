// The open-file dialog for HEX files.
#include "HexFileDialog.h"

#include <QDir>
#include <QFileDialog>

QString CHexFileDialog::Choose(QWidget *parent, const QString &current)
{
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setDefaultSuffix(QStringLiteral("hex"));
    dialog.setNameFilter(QStringLiteral("Hex Files (*.hex)"));
    dialog.setDirectory(QDir::currentPath());
    if (!current.isEmpty())
        dialog.selectFile(current);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return current;
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}
