// One progress window of the instrument document, without its widget: a
// caption, a bar range and position, and the set of completed transfer steps.
#pragma once

#include <QList>
#include <QObject>
#include <QString>

/*
 * A multi-request transfer is counted as a set of completed step numbers, not
 * as a running total: replies can repeat (a resent request answered twice),
 * and a repeated reply must never move the bar twice or close the window
 * early. The window closes itself when every step is done.
 *
 * The model stays usable while closed: steps marked after the operator closed
 * the window still count, but nothing reopens it except Show.
 */
class CTransferProgress : public QObject
{
    Q_OBJECT
public:
    explicit CTransferProgress(QObject *parent = nullptr);

    // Opens the window if it is closed and sets its caption. The steps, range
    // and position stay as they are.
    void Show(const QString &caption);
    // Show(caption), then SetStepCount(steps): a fresh count.
    void Show(const QString &caption, int steps);
    // Makes steps 0..steps-1 all not done and the range 0..steps, position 0.
    // Zero or fewer steps leaves no steps, so MarkStep does nothing.
    void SetStepCount(int steps);
    // Marks one step done and moves the bar to the number of steps done;
    // closes the window when that is all of them. A step outside
    // 0..StepCount()-1 is ignored.
    void MarkStep(int step);

    // For transfers whose caller drives the bar itself (the log upload).
    // The position is kept inside the range.
    void SetRange(int minimum, int maximum);
    void SetPosition(int position);

    // Closes the window if it is open (also the operator's Cancel).
    void Close();

    bool IsOpen() const { return m_open; }
    QString Caption() const { return m_caption; }
    int Minimum() const { return m_minimum; }
    int Maximum() const { return m_maximum; }
    int Position() const { return m_position; }
    int StepCount() const { return int(m_done.size()); }
    int StepsDone() const { return m_doneCount; }
    bool IsStepDone(int step) const;

signals:
    // The window was closed and is now open, caption and bar already in
    // place; Changed follows when they differ from what it showed last.
    void Opened();
    // The caption, range or position changed.
    void Changed(const QString &caption, int position, int minimum, int maximum);
    // The window was open and is now closed.
    void Closed();

private:
    void ClearSteps(int steps);
    void Update(const QString &caption, int position, int minimum, int maximum, bool opened = false);

    bool m_open = false;
    QString m_caption;
    int m_minimum = 0;
    int m_maximum = 0;
    int m_position = 0;
    QList<bool> m_done;
    int m_doneCount = 0;
};
