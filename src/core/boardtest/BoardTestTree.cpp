// The board test's tree.
#include "BoardTestTree.h"

namespace {
struct ItemSpec
{
    const char *name;
    QStringList children;
};
} // namespace

CBoardTestTree::CBoardTestTree()
{
    Add(QStringLiteral("Main PCB Test"), -1);
    const QStringList patterns = {QStringLiteral("Walking Ones"), QStringLiteral("Walking Zeroes"),
                                  QStringLiteral("Random Pattern")};
    const QList<QPair<QString, QList<ItemSpec>>> groups = {
        {QStringLiteral("Power"), {}},
        {QStringLiteral("RAM"), {{"Walking Ones", {}}, {"Walking Zeroes", {}}, {"Random Pattern", {}}}},
        {QStringLiteral("Time Keeper"), {{"Walking Ones", {}}, {"Walking Zeroes", {}}, {"Random Pattern", {}}}},
        {QStringLiteral("Flash"),
         {{"Downloading Flash Test Code", {}}, {"Erase", {}}, {"Blank Check", {}}, {"Program", {}}, {"Verify", {}},
          {"Erase", {}}, {"Blank Check", {}}, {"Erase Test Code", {}}, {"Blank Check", {}},
          {"Downloading Board Test Code", {}}}},
        {QStringLiteral("Digital I/O"),
         {{"On/Off Button", {"Released", "Pressed"}},
          {"Up Button", {"Released", "Pressed"}},
          {"Down Button", {"Released", "Pressed"}},
          {"Battery Type", {"Alkaline", "Rechargeable"}},
          {"Speaker", {}},
          {"Left Alarm LEDs", {}},
          {"Right Alarm LEDs", {}},
          {"Back Light", {}},
          {"Pump", {"On Voltage", "On Pressure", "Clogged Pressure"}},
          {"LEL Supply", {"2.2V LEL", "1V LEL", "2V TC"}}}},
        {QStringLiteral("Analog I/O"),
         {{"Battery", {"Low", "Normal"}},
          {"Temperature", {"Normal", "Low"}},
          {"HC Sensor", {"Offset", "Span"}},
          {"TC Sensor", {"Offset", "Span"}},
          {"O2 Sensor", {"Offset", "Span"}},
          {"Toxic 1 Sensor", {"Presence", "Offset", "Span"}},
          {"Toxic 2 Sensor", {"Presence", "Offset", "Span"}}}},
    };
    for (const auto &group : groups) {
        const int g = Add(group.first, Root);
        m_groups.append(g);
        QList<int> leaves;
        for (const ItemSpec &item : group.second) {
            const int i = Add(QString::fromLatin1(item.name), g);
            if (item.children.isEmpty())
                leaves.append(i);
            for (const QString &child : item.children)
                leaves.append(Add(child, i));
        }
        m_leaves.append(leaves);
    }
}

int CBoardTestTree::Add(const QString &name, int parent)
{
    Node node;
    node.name = name;
    node.parent = parent;
    m_nodes.append(node);
    const int index = int(m_nodes.size()) - 1;
    if (parent >= 0)
        m_nodes[parent].children.append(index);
    return index;
}

int CBoardTestTree::ItemOf(int leaf) const
{
    const int parent = m_nodes[leaf].parent;
    return m_groups.contains(parent) ? leaf : parent;
}

CBoardTestTree::State CBoardTestTree::Summary(int node) const
{
    for (int child : m_nodes[node].children) {
        if (m_nodes[child].state == Failed)
            return Failed;
    }
    return Passed;
}

QString CBoardTestTree::PathOf(int node) const
{
    QStringList names;
    for (int n = node; n > Root; n = m_nodes[n].parent)
        names.prepend(m_nodes[n].name);
    return names.join(QStringLiteral(" > "));
}

int CBoardTestTree::Find(const QString &path) const
{
    for (int n = 1; n < Count(); ++n) {
        if (PathOf(n) == path)
            return n;
    }
    return -1;
}

void CBoardTestTree::Reset()
{
    for (Node &node : m_nodes)
        node.state = NotRun;
}
