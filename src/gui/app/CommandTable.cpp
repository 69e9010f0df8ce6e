// The command table of the main window.
#include "CommandTable.h"

#include "CommandIds.h"
#include "ToolbarIcons.h"

#include <QAction>

namespace {
struct CommandEntry
{
    int id;
    const char *menuText;   // as the menus show it; the button text drops the "&"
    const char *buttonText; // when the button says something else than the menu
    const char *prompt;     // status-bar prompt
    bool checkable;
};

const CommandEntry Commands[] = {
    {CommandId::LoadOptions, "&Load Options", nullptr, "Load options from a KVO file", false},
    {CommandId::SaveOptions, "Sa&ve Options", nullptr, "Save options to a KVO file", false},
    {CommandId::AdvancedFeatures, "&Advanced Features", nullptr, "View/edit the advanced features", true},
    {CommandId::DatalogFeatures, "Datalo&g Features", nullptr, "View/edit the datalog features", true},
    {CommandId::ViewLog, "View &Log", nullptr, "View the data log", true},
    {CommandId::DisplayMode, "&Display Mode", nullptr, "Monitor gas normal, peak, STEL, and TWA levels", true},
    {CommandId::ResetViews, "Reset &Views", nullptr, "Close all windows and open the standard layout", false},
    {CommandId::LoadViews, "L&oad Views", nullptr, "Open the windows that were open last time", false},
    {CommandId::ConfigurationWizard, "&Configuration Wizard", nullptr, "Set up a new instrument step by step", true},
    {CommandId::ToolbarStandard, "&Standard Buttons", nullptr, "Show or hide the Standard Buttons toolbar", true},
    {CommandId::ToolbarTransfer, "&Transfer", nullptr, "Show or hide the Transfer toolbar", true},
    {CommandId::ToolbarEngineering, "&Engineering", nullptr, "Show or hide the Engineering toolbar", true},
    {CommandId::Upload, "&Upload", nullptr, "Upload settings from the instrument", false},
    {CommandId::Download, "&Download", nullptr, "Download settings to the instrument", false},
    {CommandId::Com1, "COM&1", nullptr, "Talk to the instrument on COM1", true},
    {CommandId::Com1 + 1, "COM&2", nullptr, "Talk to the instrument on COM2", true},
    {CommandId::Com1 + 2, "COM&3", nullptr, "Talk to the instrument on COM3", true},
    {CommandId::Com1 + 3, "COM&4", nullptr, "Talk to the instrument on COM4", true},
    {CommandId::Network, "&Network", nullptr, "Talk to the instrument through the network gateway", true},
    {CommandId::MultiWindow, "&Multi Window", nullptr, "Allow several windows open at a time", true},
    {CommandId::SingleWindow, "&Single Window", nullptr, "Show one window at a time", true},
    {CommandId::SerialLogFile, "Serial &Log File...", nullptr, "Write every message to and from the instrument to a file", true},
    {CommandId::OptionsResetViews, "&Reset Views", nullptr, "Close all windows and open the standard layout", false},
    {CommandId::WindowClose, "Cl&ose", nullptr, "Close the active window", false},
    {CommandId::WindowCloseAll, "Close Al&l", nullptr, "Close all windows", false},
    {CommandId::ViewHelp, "View &Help", nullptr, "Show the help for this program", false},
    {CommandId::WebPage, "&Web Page", nullptr, "Open the maker's web page", false},
    {CommandId::About, "&About Altavo...", nullptr, "Display program information, version number and copyright", false},
    {CommandId::InstrumentView, "&Instrument View", "Instrument View", "View the instrument", true},
    {CommandId::Sensors, "Se&nsors", "Sensors", "View the sensor readings, offsets and spans", true},
    {CommandId::Analog, "An&alog", "Analog", "View the analog inputs", true},
    {CommandId::Digital, "D&igital", "Digital", "View the digital inputs and outputs", true},
    {CommandId::Memory, "&Memory", "Memory", "View the flash memory map", true},
    {CommandId::Flash, "&Flash", "Flash", "View Flash", true},
    {CommandId::Ram, "&RAM", "RAM", "View RAM", true},
    {CommandId::ToxicTable, "To&xic Table", "Toxic Table", "View the Toxic Table", true},
    {CommandId::RangeTable, "Ran&ge Table", "Range Table", "View the Range Table", true},
    {CommandId::Programming, "&Programming", "Programming", "Program the flash memory", true},
};
} // namespace

CCommandTable::CCommandTable(QObject *parent) : QObject(parent)
{
    for (const CommandEntry &entry : Commands) {
        auto *action = new QAction(QString::fromLatin1(entry.menuText), this);
        QString button = entry.buttonText ? QString::fromLatin1(entry.buttonText) : action->iconText();
        action->setIconText(button);
        action->setToolTip(button);
        action->setStatusTip(QString::fromLatin1(entry.prompt));
        action->setCheckable(entry.checkable);
        action->setIcon(CToolbarIcons::Icon(entry.id));
        action->setIconVisibleInMenu(false);
        action->setData(entry.id);
        const int id = entry.id;
        connect(action, &QAction::triggered, this, [this, id] { emit Triggered(id); });
        m_actions.insert(entry.id, action);
    }
}

QString CCommandTable::Prompt(int commandId)
{
    for (const CommandEntry &entry : Commands) {
        if (entry.id == commandId)
            return QString::fromLatin1(entry.prompt);
    }
    return {};
}
