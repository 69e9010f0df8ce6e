// Preferences over QSettings in the program's own organisation and application.
#include "Preferences.h"

#include <QSettings>

QString Pref::ComDeviceKey(int port)
{
    return QStringLiteral("COM%1 Device").arg(port);
}

QString Pref::WindowKey(int index)
{
    return QStringLiteral("Window %1").arg(index);
}

namespace {
QSettings Profile()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                     QString::fromLatin1(Pref::Organisation), QString::fromLatin1(Pref::Application));
}

QString Key(const QString &section, const QString &key)
{
    return section + QLatin1Char('/') + key;
}
} // namespace

int CPreferences::GetInt(const QString &section, const QString &key, int def)
{
    const QVariant v = Profile().value(Key(section, key));
    if (!v.isValid())
        return def;
    bool ok = false;
    const int value = v.toString().trimmed().toInt(&ok);
    return ok ? value : def;
}

QString CPreferences::GetString(const QString &section, const QString &key, const QString &def)
{
    return Profile().value(Key(section, key), def).toString();
}

void CPreferences::SetInt(const QString &section, const QString &key, int value)
{
    Profile().setValue(Key(section, key), value);
}

void CPreferences::SetString(const QString &section, const QString &key, const QString &value)
{
    Profile().setValue(Key(section, key), value);
}

QString CPreferences::DefaultComDevice(int port)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
}

QString CPreferences::ComDevice(int port)
{
    const QString stored = GetString(QString::fromLatin1(Pref::Preferences), Pref::ComDeviceKey(port)).trimmed();
    return stored.isEmpty() ? DefaultComDevice(port) : stored;
}
