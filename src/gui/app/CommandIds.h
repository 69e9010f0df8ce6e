// Command numbers of the menus, toolbars and view buttons, and the ids of the
// status-bar panes. Views send some of them to the main frame (the board test
// asks for the programming view and for a restart on a new board).
#pragma once

namespace CommandId {
enum : int {
    AdvancedFeatures = 32772,
    DatalogFeatures = 32773,
    Programming = 32774,
    ViewLog = 32780,
    Ram = 32796,
    LoadOptions = 32798,
    SaveOptions = 32799,
    DisplayMode = 32803,
    WindowClose = 32804,
    WindowCloseAll = 32805,
    Flash = 32806,
    Sensors = 32807,
    Memory = 32809,
    Analog = 32811,
    ToolbarStandard = 32815,
    Upload = 32819,
    Download = 32820,
    ToolbarTransfer = 32821,
    Com1 = 32822, // .. Com4 = 32825
    Digital = 32827,
    LoadViews = 32830,
    InstrumentView = 32833,
    ToxicTable = 32836,
    ResetViews = 32838,
    OptionsResetViews = 32839,
    WebPage = 32841,
    ViewHelp = 32849,
    MultiWindow = 32852,
    SingleWindow = 32853,
    RangeTable = 32861,
    Network = 32862,
    RestartBoardTest = 32863,
    ConfigurationWizard = 32865,
    ToolbarEngineering = 32866, // our own: the way to show the engineering bar
    SerialLogFile = 32867,      // our own: the protocol trace
    About = 57664,
};
} // namespace CommandId

namespace PaneId {
enum : int {
    LinkState = 2001,
    Version = 2002,
    Serial = 2003,
    ProgrammingDate = 2004,
    Configuration = 2005,
    WindowMode = 2007,
    Port = 2008,
};
} // namespace PaneId
