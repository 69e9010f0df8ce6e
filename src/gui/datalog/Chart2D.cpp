// The time chart over the plotting library.
#include "Chart2D.h"

#include <QMouseEvent>
#include <QPicture>
#include <QVBoxLayout>
#include <qcustomplot.h>


namespace {
QFont AxisFont() { return QFont(QStringLiteral("Arial"), 10, QFont::Bold); }
QFont HeaderFont() { return QFont(QStringLiteral("Arial"), 14, QFont::Bold); }
} // namespace

CChart2D::CChart2D(QWidget *parent) : QWidget(parent), m_plot(new QCustomPlot(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_plot);
    setMinimumHeight(60);

    m_plot->setNoAntialiasingOnDrag(true);
    m_plot->plotLayout()->insertRow(0);
    auto *title = new QCPTextElement(m_plot, QString(), HeaderFont());
    m_plot->plotLayout()->addElement(0, 0, title);
    m_plot->plotLayout()->setRowSpacing(0);

    QSharedPointer<QCPAxisTickerDateTime> ticker(new QCPAxisTickerDateTime);
    ticker->setDateTimeFormat(QStringLiteral("hh:mm"));
    ticker->setDateTimeSpec(Qt::UTC);
    ticker->setTickCount(8);
    m_plot->xAxis->setTicker(ticker);
    for (QCPAxis *axis : {m_plot->xAxis, m_plot->yAxis}) {
        axis->setTickLabelFont(AxisFont());
        axis->setLabelFont(AxisFont());
        axis->grid()->setPen(QPen(QColor(0, 0, 0, 40), 0, Qt::DotLine));
    }
    // Charts share the pane's height, so a few level ticks read better than many.
    m_plot->yAxis->ticker()->setTickCount(4);
    m_plot->yAxis->setRange(0, 1);

    m_minimumMargins = m_plot->axisRect()->minimumMargins();

    m_marker = new QCPItemStraightLine(m_plot);
    m_marker->setClipToAxisRect(true);
    m_marker->setVisible(false);
    m_plot->installEventFilter(this);
    SetBackground(palette().color(QPalette::Base));
}

void CChart2D::SetHeader(const QString &text)
{
    if (auto *title = qobject_cast<QCPTextElement *>(m_plot->plotLayout()->element(0, 0)))
        title->setText(text);
}

QString CChart2D::Header() const
{
    if (auto *title = qobject_cast<QCPTextElement *>(m_plot->plotLayout()->element(0, 0)))
        return title->text();
    return {};
}

void CChart2D::SetTimeBase(qint64 secondsSince1970)
{
    m_timeBase = secondsSince1970;
}

void CChart2D::SetYRange(double minimum, double maximum)
{
    m_plot->yAxis->setRange(minimum, maximum);
}

void CChart2D::ClearSeries()
{
    m_plot->clearGraphs();
    m_graphs.clear();
    m_hasData = false;
    m_xMin = m_xMax = 0.0;
}

int CChart2D::AddSeries(const QList<double> &x, const QList<double> &y, const QPen &pen, PointStyle points)
{
    QCPGraph *graph = m_plot->addGraph();
    graph->setAdaptiveSampling(true);
    graph->setPen(pen);
    // Point marks help only while they stand apart; on a long session they
    // merge into the line, and drawing them is what makes it slow.
    if (points == SmallPoints && x.size() <= MaximumPointMarks)
        graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, pen.color(), pen.color(), 3));
    QVector<double> keys;
    keys.reserve(x.size());
    const double base = double(m_timeBase);
    for (double v : x)
        keys.append(base + v);
    graph->setData(keys, QVector<double>(y.begin(), y.end()), true);
    if (!x.isEmpty()) {
        const double lo = x.first();
        const double hi = x.last();
        m_xMin = m_hasData ? qMin(m_xMin, lo) : lo;
        m_xMax = m_hasData ? qMax(m_xMax, hi) : hi;
        m_hasData = true;
        // A session of a single reading still gets a minute of axis.
        const double span = qMax(60.0, m_xMax - m_xMin);
        m_plot->xAxis->setRange(base + m_xMin, base + m_xMin + span);
    }
    m_graphs.append(graph);
    return int(m_graphs.size()) - 1;
}

void CChart2D::SetSeriesColour(int index, const QColor &colour)
{
    if (index < 0 || index >= m_graphs.size())
        return;
    QCPGraph *graph = m_graphs[index];
    QPen pen = graph->pen();
    pen.setColor(colour);
    graph->setPen(pen);
    QCPScatterStyle scatter = graph->scatterStyle();
    if (!scatter.isNone()) {
        scatter.setPen(QPen(colour));
        scatter.setBrush(colour);
        graph->setScatterStyle(scatter);
    }
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

void CChart2D::SetBackground(const QColor &colour)
{
    m_background = colour;
    m_plot->setBackground(colour);
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

void CChart2D::SetMarkerPen(const QPen &pen)
{
    m_marker->setPen(pen);
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

void CChart2D::SetMarker(double x)
{
    m_markerX = x;
    const double key = double(m_timeBase) + x;
    m_marker->point1->setCoords(key, 0);
    m_marker->point2->setCoords(key, 1);
    m_marker->setVisible(m_hasData && x >= m_xMin && x <= m_xMax);
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

void CChart2D::HideMarker()
{
    m_marker->setVisible(false);
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

bool CChart2D::MarkerVisible() const
{
    return m_marker->visible();
}

QMargins CChart2D::NaturalSideMargins() const
{
    // The plot's own layout passes, without drawing: ticks and their labels
    // follow the axis ranges only, so the margins found stay right until a
    // range changes.
    QCPAxisRect *rect = m_plot->axisRect();
    const QMargins set = rect->minimumMargins();
    rect->setMinimumMargins(m_minimumMargins);
    m_plot->plotLayout()->update(QCPLayoutElement::upPreparation);
    m_plot->plotLayout()->update(QCPLayoutElement::upMargins);
    const QMargins need = rect->margins();
    rect->setMinimumMargins(set);
    return need;
}

void CChart2D::SetSideMargins(int left, int right)
{
    QCPAxisRect *rect = m_plot->axisRect();
    rect->setMinimumMargins(QMargins(qMax(left, m_minimumMargins.left()), m_minimumMargins.top(),
                                     qMax(right, m_minimumMargins.right()), m_minimumMargins.bottom()));
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

void CChart2D::Draw(QPainter *painter, const QRect &rect)
{
    // Recorded as vector drawing at the chart's own size, then scaled into
    // rect: the page shows what the window shows, sharp at printer
    // resolution, and the caller's painter stays the only one on its device.
    const QSize size = m_plot->size().isEmpty() ? rect.size() : m_plot->size();
    QPicture picture;
    QCPPainter recorder(&picture);
    m_plot->toPainter(&recorder, size.width(), size.height());
    recorder.end();
    painter->save();
    painter->translate(rect.topLeft());
    painter->scale(double(rect.width()) / size.width(), double(rect.height()) / size.height());
    painter->drawPicture(0, 0, picture);
    painter->restore();
}

bool CChart2D::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_plot && event->type() == QEvent::MouseButtonPress) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && m_hasData
            && m_plot->axisRect()->rect().contains(mouse->position().toPoint())) {
            emit Clicked(m_plot->xAxis->pixelToCoord(mouse->position().x()) - double(m_timeBase));
        }
    }
    return QWidget::eventFilter(watched, event);
}
