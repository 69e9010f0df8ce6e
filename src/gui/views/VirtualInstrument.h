// "Instrument View": the instrument's display mirrored on screen, following
// it as fast as the link allows, and its buttons pressed from the keyboard
// (arrow keys) or the mouse.
#pragma once

#include "InstrumentView.h"
#include "views/InstrumentKeys.h"

class CInstrumentDisplay;
class QAbstractButton;

class CVirtualInstrument : public CInstrumentView
{
    Q_OBJECT
public:
    explicit CVirtualInstrument(CInstrumentDoc &doc, QWidget *parent = nullptr);

    void OnUpdate(int code, const CReplyNotice &notice) override;
    QSize FormSize() const override;
    QSize sizeHint() const override { return FormSize(); }

    CInstrumentDisplay *Display() const { return m_display; }
    qint64 DisplayAddress() const { return m_address; }
    // The face's Up, On/Off and Down buttons.
    QAbstractButton *Button(int key) const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void RequestDisplay();
    void Press(int key, bool down);
    static int KeyCode(int qtKey);

    CInstrumentDisplay *m_display;
    QAbstractButton *m_up;
    QAbstractButton *m_onOff;
    QAbstractButton *m_down;
    CInstrumentKeys m_keys;
    qint64 m_address = -1;
    bool m_requestedOnIdle = false;
};
