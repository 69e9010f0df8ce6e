// A child window of the main frame showing one view (or the help viewer): its
// caption is the view title, and it keeps its placement under that title.
#pragma once

#include <QMdiSubWindow>
#include <QPointer>
#include <QRect>

class CInstrumentView;
class QScrollArea;

class CInstrumentFrame : public QMdiSubWindow
{
    Q_OBJECT
public:
    // Hosts view (an instrument view) in a scrolling pane, so a form larger
    // than the window scrolls instead of being squeezed.
    explicit CInstrumentFrame(CInstrumentView *view, QWidget *parent = nullptr);
    // Hosts any other content (the help viewer) under the given caption.
    CInstrumentFrame(QWidget *content, const QString &caption, const QSize &defaultSize, QWidget *parent = nullptr);

    CInstrumentView *View() const { return m_view; }
    QWidget *Content() const { return m_content; }
    QString Caption() const { return windowTitle(); }

    // Shows the window at its stored placement, or fitted to its form (or
    // maximised, for views that ask for it) when none is stored.
    void ShowAtPlacement();
    // Restores a minimised or maximised window and sizes it so that the whole
    // form shows.
    void FitToForm();
    // Moves the window, and shrinks it when it is larger, so that all of it
    // lies in the visible part of the client area; one that does stays put.
    void KeepInsideArea();
    // rect moved, and shrunk where it is larger, to lie inside (0,0) - area.
    static QRect InsideArea(const QRect &rect, const QSize &area);
    // Moves the window without resizing it to the left or right edge and the
    // top or bottom edge of the client area.
    void Place(bool left, bool top);
    // Writes the show state and the restored rectangle under the caption.
    void SavePlacement() const;
    // The rectangle the window has when neither minimised nor maximised.
    QRect NormalRect() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void Init();
    bool MaximiseFitsForm() const;
    QSize FormSize() const;
    void TrackNormal();
    void Moved();
    QSize AreaSize() const;

    QPointer<CInstrumentView> m_view;
    QWidget *m_content = nullptr;
    QScrollArea *m_scroll = nullptr;
    QSize m_defaultSize;
    QRect m_normal;
    // The stored placement's rectangle while the window stands where that
    // placement put it, however far a small client area squeezed it.
    QRect m_stored;
    bool m_fitting = false;
};
