// The board test's tree: "Main PCB Test", its six groups, their items and
// sub-items, each with the state its image shows.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class CBoardTestTree
{
public:
    // Also the index of the state image.
    enum State { NotRun = 0, Running = 1, Passed = 2, Failed = 3 };
    enum Group { Power, Ram, TimeKeeper, Flash, Digital, Analog, GroupCount };

    struct Node
    {
        QString name;
        int parent = -1;
        QList<int> children;
        State state = NotRun;
    };

    CBoardTestTree();

    int Count() const { return int(m_nodes.size()); }
    const Node &At(int node) const { return m_nodes[node]; }
    static constexpr int Root = 0;
    int GroupNode(int group) const { return m_groups.value(group, -1); }
    // What runs, in order: the items of a group, or their sub-items where
    // they have them.
    const QList<int> &Leaves(int group) const { return m_leaves[group]; }
    // The leaf's item and its position among the item's sub-items (the item
    // itself when it has none).
    int ItemOf(int leaf) const;

    void SetState(int node, State state) { m_nodes[node].state = state; }
    // Failed when any child failed, else passed.
    State Summary(int node) const;
    // Names from the group down, for messages and tests: "Digital I/O > Pump > On Voltage".
    QString PathOf(int node) const;
    // The node with that path, or -1.
    int Find(const QString &path) const;
    // Every node back to NotRun.
    void Reset();

private:
    int Add(const QString &name, int parent);

    QList<Node> m_nodes;
    QList<int> m_groups;
    QList<QList<int>> m_leaves;
};
