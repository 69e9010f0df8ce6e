// The open-file dialog for HEX files of the programming view and the wizard.
#pragma once

#include <QString>

class QWidget;

class CHexFileDialog
{
public:
    // Starts in the working folder with the current name filled in; returns
    // the chosen path, or current when the dialog is cancelled.
    static QString Choose(QWidget *parent, const QString &current);
};
