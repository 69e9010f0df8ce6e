// The "Color Selection" dialog: the chart colours, each stored as soon as it is chosen, and "Reset".
#pragma once

#include "datalog/LogChartColors.h"

#include <QDialog>
#include <functional>

class QPushButton;

class CChartColorDialog : public QDialog
{
    Q_OBJECT
public:
    // Asks for a colour, preset to the current one; invalid when cancelled.
    using Chooser = std::function<QColor(const QColor &current, QWidget *parent)>;

    explicit CChartColorDialog(QWidget *parent = nullptr);

    // The system colour chooser unless replaced.
    void SetChooser(Chooser chooser) { m_chooser = std::move(chooser); }
    const LogChartColors &Colors() const { return m_colors; }
    // A colour button: choose, and store when the choice differs.
    void Choose(const QString &key);
    void Reset();

    static QColor ToColor(int ref, const QColor &systemBackground);

private:
    int &Slot(const QString &key);
    void Repaint();

    LogChartColors m_colors;
    Chooser m_chooser;
    QList<QPair<QString, QPushButton *>> m_swatches;
};
