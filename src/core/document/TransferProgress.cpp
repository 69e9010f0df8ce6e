// Progress of one multi-request transfer, counted in distinct steps.
#include "TransferProgress.h"

CTransferProgress::CTransferProgress(QObject *parent) : QObject(parent) {}

void CTransferProgress::Show(const QString &caption)
{
    const bool opening = !m_open;
    m_open = true;
    Update(caption, m_position, m_minimum, m_maximum, opening);
}

void CTransferProgress::Show(const QString &caption, int steps)
{
    const bool opening = !m_open;
    m_open = true;
    ClearSteps(steps);
    Update(caption, 0, 0, int(m_done.size()), opening);
}

void CTransferProgress::SetStepCount(int steps)
{
    ClearSteps(steps);
    Update(m_caption, 0, 0, int(m_done.size()));
}

void CTransferProgress::ClearSteps(int steps)
{
    m_done = QList<bool>(qMax(steps, 0), false);
    m_doneCount = 0;
}

void CTransferProgress::MarkStep(int step)
{
    if (step < 0 || step >= m_done.size() || m_done[step])
        return;
    m_done[step] = true;
    ++m_doneCount;
    Update(m_caption, m_doneCount, m_minimum, m_maximum);
    if (m_doneCount == m_done.size())
        Close();
}

void CTransferProgress::SetRange(int minimum, int maximum)
{
    if (maximum < minimum)
        maximum = minimum;
    Update(m_caption, qBound(minimum, m_position, maximum), minimum, maximum);
}

void CTransferProgress::SetPosition(int position)
{
    Update(m_caption, qBound(m_minimum, position, m_maximum), m_minimum, m_maximum);
}

void CTransferProgress::Close()
{
    if (!m_open)
        return;
    m_open = false;
    emit Closed();
}

bool CTransferProgress::IsStepDone(int step) const
{
    return step >= 0 && step < m_done.size() && m_done[step];
}

void CTransferProgress::Update(const QString &caption, int position, int minimum, int maximum, bool opened)
{
    const bool changed = caption != m_caption || position != m_position || minimum != m_minimum
        || maximum != m_maximum;
    m_caption = caption;
    m_position = position;
    m_minimum = minimum;
    m_maximum = maximum;
    if (opened)
        emit Opened();
    if (changed)
        emit Changed(m_caption, m_position, m_minimum, m_maximum);
}
