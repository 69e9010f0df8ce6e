// Building, colouring, laying out and printing the log charts.
#include "LogChart.h"

#include "Chart2D.h"
#include "datalog/LogRetrieval.h"

#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

namespace {
QColor FromReference(int ref)
{
    return QColor(LogChartColors::Red(ref), LogChartColors::Green(ref), LogChartColors::Blue(ref));
}

QPen SeriesPen(const QColor &colour, LogChartSeries::Style style)
{
    switch (style) {
    case LogChartSeries::LineA: return QPen(colour, 1, Qt::DashDotLine);
    case LogChartSeries::LineB: return QPen(colour, 1, Qt::DotLine);
    default: return QPen(colour, 1, Qt::SolidLine);
    }
}
} // namespace

CLogChart::CLogChart(const CLogRetrieval &log, QWidget *parent)
    : QWidget(parent), m_log(log), m_colors(LogChartColors::Load()), m_layout(new QVBoxLayout(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(2);
    m_groups = LogChartSeries::Groups(m_setup);
}

void CLogChart::SetSetup(const LogChartSetup &setup)
{
    if (setup == m_setup && !m_charts.isEmpty())
        return;
    m_setup = setup;
    m_groups = LogChartSeries::Groups(m_setup);
    Build();
}

void CLogChart::ShowSession(int session)
{
    m_session = session;
    Build();
}

void CLogChart::ShowGroup(int group)
{
    m_visible = group;
    for (int i = 0; i < m_charts.size(); ++i)
        m_charts[i]->setVisible(group == AllGroups || group == i);
    // The visible charts share the pane's height at once, not on the next pass of the event loop.
    m_layout->activate();
}

QList<CChart2D *> CLogChart::VisibleCharts() const
{
    QList<CChart2D *> visible;
    for (int i = 0; i < m_charts.size(); ++i) {
        if (m_visible == AllGroups || m_visible == i)
            visible.append(m_charts[i]);
    }
    return visible;
}

void CLogChart::Build()
{
    // Deleted from the event loop: whatever asked for the new charts may be
    // running inside one of the old ones.
    for (CChart2D *chart : std::as_const(m_charts)) {
        chart->hide();
        m_layout->removeWidget(chart);
        chart->deleteLater();
    }
    m_charts.clear();
    const QList<LogSession> &sessions = m_log.Sessions();
    if (m_session < 0 || m_session >= sessions.size())
        return;
    const LogSession &session = sessions.at(m_session);
    const QList<LogRecord> &entries = m_log.Entries();
    const qint64 base = LogChartSeries::TimeBase(entries, session);
    for (const LogChartSeries::GroupInfo &group : m_groups) {
        auto *chart = new CChart2D(this);
        chart->SetHeader(group.title);
        chart->SetTimeBase(base);
        for (const LogChartSeries::Series &series : LogChartSeries::Compute(entries, session, group, m_setup)) {
            const LogChartSeries::Style style = LogChartSeries::StyleOf(series.code);
            const QColor colour = FromReference(m_colors.Role(LogChartSeries::ColourOf(series.code)));
            // A series the session never gives (no STEL logged, no range
            // change) is added empty: a million holes would only cost time.
            const bool empty = std::all_of(series.y.cbegin(), series.y.cend(), LogChartSeries::IsHole);
            chart->AddSeries(empty ? QList<double>() : series.x, empty ? QList<double>() : series.y, SeriesPen(colour, style),
                             style == LogChartSeries::Measured ? CChart2D::SmallPoints : CChart2D::NoPoints);
        }
        // A table not read yet gives no maximum; the readings then set the scale.
        if (group.yMaximum > 0.0)
            chart->SetYRange(0.0, group.yMaximum);
        else
            chart->SetYRange(0.0, 1.0);
        ApplyColors(chart, group.codes);
        connect(chart, &CChart2D::Clicked, this, [this, chart](double x) {
            const QDateTime t = QDateTime::fromSecsSinceEpoch(chart->TimeBase() + qint64(x), Qt::UTC);
            // A click may bring another session into view and so rebuild the
            // charts: that happens from the event loop, never inside the
            // clicked chart's own mouse event.
            QMetaObject::invokeMethod(this, [this, t] { emit TimeClicked(t); }, Qt::QueuedConnection);
        });
        m_layout->addWidget(chart, 1);
        m_charts.append(chart);
    }
    AlignPlotAreas();
    ShowGroup(m_visible < m_charts.size() ? m_visible : AllGroups);
    if (m_marker.isValid())
        PlaceMarker(m_marker);
}

void CLogChart::AlignPlotAreas()
{
    // The stacked charts share one time axis: every plot area gets the widest
    // side margins any chart's level labels need, so a time lies at the same
    // x in all of them and the marker reads as one vertical line.
    int left = 0;
    int right = 0;
    for (CChart2D *chart : std::as_const(m_charts)) {
        const QMargins need = chart->NaturalSideMargins();
        left = qMax(left, need.left());
        right = qMax(right, need.right());
    }
    for (CChart2D *chart : std::as_const(m_charts))
        chart->SetSideMargins(left, right);
}

void CLogChart::PlaceMarker(const QDateTime &t)
{
    m_marker = t;
    for (CChart2D *chart : std::as_const(m_charts))
        chart->SetMarker(double(t.toSecsSinceEpoch() - chart->TimeBase()));
}

void CLogChart::SetColors(const LogChartColors &colors)
{
    m_colors = colors;
    for (int i = 0; i < m_charts.size() && i < m_groups.size(); ++i)
        ApplyColors(m_charts[i], m_groups[i].codes);
}

QColor CLogChart::BackgroundColor() const
{
    if (m_colors.background == LogChartColors::SystemBackground)
        return palette().color(QPalette::Base);
    return FromReference(m_colors.background);
}

void CLogChart::ApplyColors(CChart2D *chart, const QList<int> &codes)
{
    for (int i = 0; i < codes.size() && i < chart->SeriesCount(); ++i)
        chart->SetSeriesColour(i, FromReference(m_colors.Role(LogChartSeries::ColourOf(codes[i]))));
    chart->SetMarkerPen(QPen(FromReference(m_colors.marker), 3, Qt::DashLine));
    chart->SetBackground(BackgroundColor());
}

void CLogChart::Print(QPainter *painter, const QRect &page)
{
    const QList<CChart2D *> charts = VisibleCharts();
    if (charts.isEmpty())
        return;
    // The pane as it stands on screen, scaled to the page.
    QSize area(width(), 0);
    for (CChart2D *chart : charts)
        area.rheight() += qMax(1, chart->height());
    area.setWidth(qMax(1, area.width()));
    const double scale = qMin(double(page.width()) / area.width(), double(page.height()) / area.height());
    const QSize drawn(int(area.width() * scale), int(area.height() * scale));
    QPoint at(page.left() + (page.width() - drawn.width()) / 2, page.top() + (page.height() - drawn.height()) / 2);
    for (CChart2D *chart : charts) {
        const int h = int(qMax(1, chart->height()) * scale);
        const QColor background = chart->Background();
        chart->SetBackground(Qt::white);
        chart->Draw(painter, QRect(at, QSize(drawn.width(), h)));
        chart->SetBackground(background);
        at.ry() += h;
    }
}
