// The per-user preferences profile: sections and values kept under the
// company "Veltrion Norvane" and application "Altavo View" (the registry on
// Windows, an INI file elsewhere). Keys are named here once.
#pragma once

#include <QString>
#include <QVariant>

namespace Pref {
inline constexpr char Organisation[] = "Veltrion Norvane";
inline constexpr char Application[] = "Altavo View";

inline constexpr char Preferences[] = "Preferences";
inline constexpr char CommPort[] = "CommPort";
inline constexpr char SerialLogFile[] = "Serial Log File";
inline constexpr char GatewayHost[] = "Gateway Host";
inline constexpr char GatewayPort[] = "Gateway Port";
// "COM1 Device" .. "COM4 Device": the device behind each COMn entry.
QString ComDeviceKey(int port);
inline constexpr char SingleWindow[] = "SingleWindow";
inline constexpr char WebPage[] = "Web Page";

// The main window's section: its placement, the window list, the toolbar
// layout and the folder of the options-file dialogs.
inline constexpr char MainWindow[] = "Main Window";
inline constexpr char NumberOfWindows[] = "Number of Windows";
inline constexpr char Directory[] = "Directory";
inline constexpr char BarState[] = "Bar State";
// "Window 0", "Window 1", ...: the window list, the active window first.
QString WindowKey(int index);

// Every placement section (the main window's, and one per view title).
inline constexpr char ShowCmd[] = "ShowCmd";
inline constexpr char NormalPosition[] = "NormalPosition";

// Flash programming: the last file of the Programming view (the board test's
// two files under their own names) and the next serial number to stamp.
inline constexpr char Programming[] = "Programming";
inline constexpr char HexFile[] = "HexFile";
inline constexpr char FlashTestFile[] = "FlashTestFile";
inline constexpr char BoardTestFile[] = "BoardTestFile";
inline constexpr char SequentialID[] = "SequentialID";
// The configuration wizard keeps its own "HexFile" and "SequentialID".
inline constexpr char Wizard[] = "Wizard";
} // namespace Pref

class CPreferences
{
public:
    // Reads an integer; a missing or malformed value gives def.
    static int GetInt(const QString &section, const QString &key, int def);
    static QString GetString(const QString &section, const QString &key, const QString &def = {});
    static void SetInt(const QString &section, const QString &key, int value);
    static void SetString(const QString &section, const QString &key, const QString &value);

    // The device name that COMn (1..4) opens: the stored "COMn Device", or the
    // platform's default for that port.
    static QString ComDevice(int port);
    static QString DefaultComDevice(int port);
};
