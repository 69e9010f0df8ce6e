// Every command of the main window as an action: menu text, button text,
// status-bar prompt, tool tip and icon. The main frame puts them in its menus
// and toolbars and routes their triggers.
#pragma once

#include <QHash>
#include <QObject>

class QAction;

class CCommandTable : public QObject
{
    Q_OBJECT
public:
    explicit CCommandTable(QObject *parent);

    // The action of a command id (CommandIds.h); nullptr for unknown ids.
    QAction *Action(int commandId) const { return m_actions.value(commandId); }
    QList<int> Ids() const { return m_actions.keys(); }
    // The status-bar prompt of a command; empty when it has none.
    static QString Prompt(int commandId);

signals:
    void Triggered(int commandId);

private:
    QHash<int, QAction *> m_actions;
};
