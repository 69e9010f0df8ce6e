// The document's notice window without its widget: a caption, a text and one
// button, shown for conditions such as a silent instrument.
#pragma once

#include <QObject>
#include <QString>

class CClock;

/*
 * The notice is raised from reply and timeout handling, which can run several
 * times in quick succession; showing the same caption again within 0.1 s
 * leaves caption, text and button as they are, so the window does not flicker
 * between texts. The 0.1 s run from the last time the content was set.
 */
class CNoticeWindow : public QObject
{
    Q_OBJECT
public:
    // Button ids, as the window's single button reports them.
    enum Button { IdOk = 1, IdCancel = 2 };

    explicit CNoticeWindow(CClock &clock, QObject *parent = nullptr);

    // Opens the window if needed. Unless the same caption was set less than
    // 0.1 s ago, sets caption, text and the button's id and text; an empty
    // button text becomes "Ok" for IdOk and "Cancel" for IdCancel.
    void ShowNotice(const QString &caption, const QString &text, int buttonId = IdOk,
                    const QString &buttonText = QString());
    // Closes the window if it is open (also the operator pressing the button).
    void Close();

    bool IsOpen() const { return m_open; }
    QString Caption() const { return m_caption; }
    QString Text() const { return m_text; }
    int ButtonId() const { return m_buttonId; }
    QString ButtonText() const { return m_buttonText; }

signals:
    // The window was closed and is now open, its content already in place;
    // Changed follows when the same call set the content.
    void Opened();
    // Caption, text or button were set.
    void Changed(const QString &caption, const QString &text);
    // The window was open and is now closed.
    void Closed();

private:
    CClock &m_clock;
    bool m_open = false;
    bool m_everSet = false;
    double m_setAt = 0.0;
    QString m_caption;
    QString m_text;
    int m_buttonId = IdOk;
    QString m_buttonText;
};
