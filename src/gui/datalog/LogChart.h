// The chart pane of the log window: one time chart per sensor group of the session in view, with the time marker.
#pragma once

#include "datalog/LogChartColors.h"
#include "datalog/LogChartSeries.h"
#include "datalog/LogChartSetup.h"

#include <QDateTime>
#include <QList>
#include <QWidget>

class CChart2D;
class CLogRetrieval;
class QPainter;
class QVBoxLayout;

class CLogChart : public QWidget
{
    Q_OBJECT
public:
    static constexpr int AllGroups = -1;

    explicit CLogChart(const CLogRetrieval &log, QWidget *parent = nullptr);

    // The instrument values the charts are drawn against; rebuilds the charts.
    void SetSetup(const LogChartSetup &setup);
    const LogChartSetup &Setup() const { return m_setup; }
    QList<LogChartSeries::GroupInfo> Groups() const { return m_groups; }

    // Draws the charts of a session (-1: none).
    void ShowSession(int session);
    int Session() const { return m_session; }
    // Only group index `group` is visible, or all of them.
    void ShowGroup(int group);
    int VisibleGroup() const { return m_visible; }

    // Puts the marker at t on the charts.
    void PlaceMarker(const QDateTime &t);
    QDateTime MarkerTime() const { return m_marker; }

    void SetColors(const LogChartColors &colors);
    const LogChartColors &Colors() const { return m_colors; }

    // The charts of the session in view, in group order.
    QList<CChart2D *> Charts() const { return m_charts; }
    // Those the user sees.
    QList<CChart2D *> VisibleCharts() const;
    // The visible charts stacked as on screen, scaled to fit `page` keeping
    // their proportions and centred, on a white background.
    void Print(QPainter *painter, const QRect &page);

signals:
    // A click in a chart's graph area, as a log time.
    void TimeClicked(const QDateTime &t);

private:
    void Build();
    void AlignPlotAreas();
    void ApplyColors(CChart2D *chart, const QList<int> &codes);
    QColor BackgroundColor() const;

    const CLogRetrieval &m_log;
    LogChartSetup m_setup;
    LogChartColors m_colors;
    QList<LogChartSeries::GroupInfo> m_groups;
    QList<CChart2D *> m_charts;
    QVBoxLayout *m_layout;
    int m_session = -1;
    int m_visible = AllGroups;
    QDateTime m_marker;
};
