// The notice window's content and the suppression of repeated notices.
#include "NoticeWindow.h"

#include "platform/Clock.h"

namespace {
constexpr double RepeatWindow = 0.1; // seconds
}

CNoticeWindow::CNoticeWindow(CClock &clock, QObject *parent) : QObject(parent), m_clock(clock) {}

void CNoticeWindow::ShowNotice(const QString &caption, const QString &text, int buttonId, const QString &buttonText)
{
    const double now = m_clock.Now();
    const bool repeat = m_everSet && caption == m_caption && now - m_setAt < RepeatWindow;
    if (!repeat) {
        m_everSet = true;
        m_setAt = now;
        m_caption = caption;
        m_text = text;
        m_buttonId = buttonId;
        m_buttonText = buttonText;
        if (m_buttonText.isEmpty() && buttonId == IdOk)
            m_buttonText = QStringLiteral("Ok");
        else if (m_buttonText.isEmpty() && buttonId == IdCancel)
            m_buttonText = QStringLiteral("Cancel");
    }
    if (!m_open) {
        m_open = true;
        emit Opened();
    }
    if (!repeat)
        emit Changed(m_caption, m_text);
}

void CNoticeWindow::Close()
{
    if (!m_open)
        return;
    m_open = false;
    emit Closed();
}
