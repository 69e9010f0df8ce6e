// A child window of the main frame showing one view.
#include "InstrumentFrame.h"

#include "Placement.h"
#include "views/InstrumentView.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QScopedValueRollback>
#include <QScrollArea>
#include <QTimer>

CInstrumentFrame::CInstrumentFrame(CInstrumentView *view, QWidget *parent)
    : QMdiSubWindow(parent), m_view(view)
{
    m_scroll = new QScrollArea;
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setWidget(view);
    m_content = m_scroll;
    setWidget(m_scroll);
    setWindowTitle(view->Title());
    Init();
}

CInstrumentFrame::CInstrumentFrame(QWidget *content, const QString &caption, const QSize &defaultSize, QWidget *parent)
    : QMdiSubWindow(parent), m_content(content), m_defaultSize(defaultSize)
{
    setWidget(content);
    setWindowTitle(caption);
    Init();
}

void CInstrumentFrame::Init()
{
    setAttribute(Qt::WA_DeleteOnClose);
    setOption(QMdiSubWindow::RubberBandResize, false);
}

bool CInstrumentFrame::MaximiseFitsForm() const
{
    return m_view && m_view->MaximiseFitsForm();
}

QSize CInstrumentFrame::FormSize() const
{
    if (!m_view)
        return m_defaultSize;
    QSize size = m_view->FormSize().expandedTo(m_view->minimumSizeHint());
    return size.isValid() ? size : m_view->sizeHint();
}

QRect CInstrumentFrame::NormalRect() const
{
    if (isMinimized() || isMaximized())
        return m_normal.isValid() ? m_normal : QRect(pos(), sizeHint());
    return geometry();
}

void CInstrumentFrame::TrackNormal()
{
    if (!isMinimized() && !isMaximized() && isVisible())
        m_normal = geometry();
}

void CInstrumentFrame::ShowAtPlacement()
{
    CPlacement placement;
    if (CPlacement::Read(windowTitle(), &placement)) {
        const QScopedValueRollback<bool> fitting(m_fitting, true);
        m_stored = placement.normal;
        // Stored at another size of the main window, the rectangle may reach
        // past the client area, taking the title bar's buttons out of reach.
        const QSize area = AreaSize();
        const QRect normal = area.isEmpty() ? placement.normal : InsideArea(placement.normal, area);
        setGeometry(normal);
        m_normal = normal;
        switch (placement.showCmd) {
        case CPlacement::Maximised:
            if (MaximiseFitsForm()) {
                m_stored = QRect();
                show();
                FitToForm();
            } else {
                showMaximized();
            }
            break;
        case CPlacement::Minimised:
            showMinimized();
            break;
        default:
            show();
            KeepInsideArea(); // a window that cannot shrink as far as the rectangle
            break;
        }
        // The client area may not have its final size yet (a main window
        // maximised by the desktop after it first showed).
        if (QMdiArea *client = mdiArea())
            client->installEventFilter(this);
        return;
    }
    if (m_view && m_view->MaximiseWithoutPlacement()) {
        showMaximized();
        return;
    }
    show();
    FitToForm();
}

void CInstrumentFrame::FitToForm()
{
    if (isMinimized() || isMaximized())
        showNormal();
    ensurePolished();
    const QMargins frame = contentsMargins();
    QSize size = FormSize() + QSize(frame.left() + frame.right(), frame.top() + frame.bottom());
    // A form larger than the client area scrolls inside a window that still
    // fits, so its title bar and edges stay within reach.
    if (const QSize area = AreaSize(); !area.isEmpty())
        size = size.boundedTo(area);
    resize(size);
    // Placed by the client area at its first size, the window may reach past
    // the area's edge once it has the size of its form.
    KeepInsideArea();
}

QSize CInstrumentFrame::AreaSize() const
{
    // The client area without the scroll bars that a window reaching past
    // its edge brings up.
    QMdiArea *area = mdiArea();
    return area ? area->maximumViewportSize() : QSize();
}

QRect CInstrumentFrame::InsideArea(const QRect &rect, const QSize &area)
{
    QRect inside(rect.topLeft(), rect.size().boundedTo(area));
    if (inside.left() + inside.width() > area.width())
        inside.moveLeft(area.width() - inside.width());
    if (inside.top() + inside.height() > area.height())
        inside.moveTop(area.height() - inside.height());
    inside.moveTopLeft(QPoint(qMax(0, inside.left()), qMax(0, inside.top())));
    return inside;
}

void CInstrumentFrame::KeepInsideArea()
{
    if (isMinimized() || isMaximized())
        return;
    const QSize area = AreaSize();
    if (area.isEmpty())
        return;
    const QRect inside = InsideArea(geometry(), area);
    if (inside.size() != size())
        resize(inside.size());
    // A window that cannot shrink that far keeps its title bar and left edge in view.
    const QRect now(inside.topLeft(), size());
    const QRect placed = InsideArea(now, area.expandedTo(size()));
    if (placed.topLeft() != pos())
        move(placed.topLeft());
    TrackNormal();
}

void CInstrumentFrame::Place(bool left, bool top)
{
    if (isMinimized() || isMaximized())
        showNormal();
    QMdiArea *area = mdiArea();
    if (!area)
        return;
    const QSize client = area->viewport()->size();
    // A window taller or wider than the client area keeps its title bar and
    // left edge inside it rather than going off the top or left.
    const int x = left ? 0 : qMax(0, client.width() - width());
    const int y = top ? 0 : qMax(0, client.height() - height());
    move(x, y);
    TrackNormal();
}

void CInstrumentFrame::SavePlacement() const
{
    CPlacement placement;
    placement.showCmd = isMinimized() ? CPlacement::Minimised : isMaximized() ? CPlacement::Maximised : CPlacement::Normal;
    // A stored rectangle the user never moved from survives a smaller client area.
    placement.normal = m_stored.isValid() ? m_stored : NormalRect();
    CPlacement::Write(windowTitle(), placement);
}

void CInstrumentFrame::closeEvent(QCloseEvent *event)
{
    SavePlacement();
    // The next active window would otherwise inherit the maximised state.
    if (isMaximized())
        showNormal();
    QMdiSubWindow::closeEvent(event);
}

void CInstrumentFrame::changeEvent(QEvent *event)
{
    QMdiSubWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMaximized() && MaximiseFitsForm())
        QTimer::singleShot(0, this, [this] {
            if (isMaximized())
                FitToForm();
        });
}

bool CInstrumentFrame::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize && watched == mdiArea() && m_stored.isValid() && !isMinimized() && !isMaximized()) {
        // The client area changed size under a window still at its stored
        // rectangle: that rectangle again, as far as it now fits.
        const QScopedValueRollback<bool> fitting(m_fitting, true);
        const QSize area = AreaSize();
        setGeometry(area.isEmpty() ? m_stored : InsideArea(m_stored, area));
        KeepInsideArea();
    }
    return QMdiSubWindow::eventFilter(watched, event);
}

void CInstrumentFrame::moveEvent(QMoveEvent *event)
{
    QMdiSubWindow::moveEvent(event);
    Moved();
}

void CInstrumentFrame::resizeEvent(QResizeEvent *event)
{
    QMdiSubWindow::resizeEvent(event);
    Moved();
}

void CInstrumentFrame::Moved()
{
    // Moved or sized by the user or by a command: its stored rectangle is history.
    if (!m_fitting && isVisible() && !isMinimized() && !isMaximized())
        m_stored = QRect();
    TrackNormal();
}
