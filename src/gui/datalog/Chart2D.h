// One time chart of the log window: a header, a time axis of hours and minutes, curves with holes, and the time marker.
#pragma once

#include <QColor>
#include <QList>
#include <QMargins>
#include <QPen>
#include <QWidget>

class QCPGraph;
class QCPItemStraightLine;
class QCustomPlot;
class QPainter;

/*
 * x values are seconds from the chart's time base (whole seconds since
 * 1970 of the instrument's wall clock, kept as UTC). NaN y values are holes
 * and stay undrawn. Large series are thinned for drawing by the plot's
 * adaptive sampling, so sessions of many thousand readings stay smooth.
 */
class CChart2D : public QWidget
{
    Q_OBJECT
public:
    enum PointStyle { NoPoints, SmallPoints };
    // Series longer than this are drawn as lines without point marks.
    static constexpr int MaximumPointMarks = 2000;

    explicit CChart2D(QWidget *parent = nullptr);

    void SetHeader(const QString &text);
    QString Header() const;
    void SetTimeBase(qint64 secondsSince1970);
    qint64 TimeBase() const { return m_timeBase; }
    void SetYRange(double minimum, double maximum);
    // Removes every curve.
    void ClearSeries();
    // Adds a curve; returns its index.
    int AddSeries(const QList<double> &x, const QList<double> &y, const QPen &pen, PointStyle points);
    int SeriesCount() const { return int(m_graphs.size()); }
    void SetSeriesColour(int index, const QColor &colour);
    // The x span of the data, in seconds from the time base.
    double XMinimum() const { return m_xMin; }
    double XMaximum() const { return m_xMax; }

    void SetBackground(const QColor &colour);
    QColor Background() const { return m_background; }
    void SetMarkerPen(const QPen &pen);
    // Seconds from the time base; the marker shows only inside the data span.
    void SetMarker(double x);
    void HideMarker();
    bool MarkerVisible() const;
    double MarkerX() const { return m_markerX; }

    // The left and right margins of the plot area this chart's own axis
    // labels need.
    QMargins NaturalSideMargins() const;
    // Sets them to at least left and right, so that stacked charts line up.
    void SetSideMargins(int left, int right);

    // Draws the chart into rect on painter, as it would show at that size.
    void Draw(QPainter *painter, const QRect &rect);
    QCustomPlot *Plot() const { return m_plot; }

signals:
    // A left click inside the graph area, in seconds from the time base.
    void Clicked(double x);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QCustomPlot *m_plot;
    QList<QCPGraph *> m_graphs;
    QCPItemStraightLine *m_marker;
    qint64 m_timeBase = 0;
    double m_xMin = 0.0;
    double m_xMax = 0.0;
    double m_markerX = 0.0;
    bool m_hasData = false;
    QColor m_background;
    QMargins m_minimumMargins;
};
