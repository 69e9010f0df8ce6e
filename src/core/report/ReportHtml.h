// What the reports' HTML shares: the table's look, its heading row, escaping.
#pragma once

#include <QString>
#include <QStringList>

namespace ReportHtml {

inline const QString HeadBackground = QStringLiteral("#dfe5ea");
inline const QString TableStart = QStringLiteral(
    "<table width=\"100%\" cellspacing=\"0\" cellpadding=\"4\" border=\"1\" "
    "style=\"border-collapse: collapse; border-color: #9aa5ae; border-style: solid;\">");

inline QString Esc(const QString &text)
{
    return text.toHtmlEscaped();
}

// A table's heading row.
inline QString Head(const QStringList &titles)
{
    QString html = QStringLiteral("<thead><tr>");
    for (const QString &t : titles)
        html += QStringLiteral("<th align=\"left\" bgcolor=\"%1\">%2</th>").arg(HeadBackground, Esc(t));
    return html + QStringLiteral("</tr></thead>");
}

} // namespace ReportHtml
