// Window placements in the preferences.
#include "Placement.h"

#include "platform/Preferences.h"

#include <QStringList>

bool CPlacement::ParseNormalPosition(const QString &text, QRect *rect)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return false;
    int v[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        v[i] = parts[i].trimmed().toInt(&ok);
        if (!ok)
            return false;
    }
    // A rectangle with no area would restore an invisible window.
    if (v[2] <= v[0] || v[3] <= v[1])
        return false;
    *rect = QRect(QPoint(v[0], v[1]), QSize(v[2] - v[0], v[3] - v[1]));
    return true;
}

QString CPlacement::FormatNormalPosition(const QRect &rect)
{
    return QStringLiteral("%1,%2,%3,%4").arg(rect.left()).arg(rect.top()).arg(rect.left() + rect.width()).arg(rect.top() + rect.height());
}

bool CPlacement::Read(const QString &section, CPlacement *placement)
{
    const int show = CPreferences::GetInt(section, QString::fromLatin1(Pref::ShowCmd), Normal);
    if (show == None)
        return false;
    QRect rect;
    if (!ParseNormalPosition(CPreferences::GetString(section, QString::fromLatin1(Pref::NormalPosition)), &rect))
        return false;
    placement->showCmd = show;
    placement->normal = rect;
    return true;
}

void CPlacement::Write(const QString &section, const CPlacement &placement)
{
    CPreferences::SetString(section, QString::fromLatin1(Pref::NormalPosition), FormatNormalPosition(placement.normal));
    CPreferences::SetInt(section, QString::fromLatin1(Pref::ShowCmd), placement.showCmd);
}

void CPlacement::WriteNone(const QString &section)
{
    CPreferences::SetInt(section, QString::fromLatin1(Pref::ShowCmd), None);
}
