// What a settings form showed when it was last filled from the document, so
// that storing the form writes only the fields whose control the user changed.
#pragma once

#include <QHash>
#include <QList>
#include <QString>

class QWidget;

/*
 * A control's state is its selected index and text (lists), its checked
 * button (radio groups) or its text (text boxes). A field whose control is in
 * the state it was filled with is left as the document holds it: a level the
 * list has no item for, a code the list does not name or a combination the
 * controls cannot show then survives a store unchanged.
 */
class CFormSnapshot
{
public:
    // Remembers the present state of every control.
    void Take(const QList<QWidget *> &controls);
    // Forgets the controls: they count as changed until the next Take.
    void Forget(const QList<QWidget *> &controls);
    // True when the control is not in the state it was filled with, or was
    // never remembered.
    bool Changed(const QWidget *control) const;
    // The remembered controls still in their remembered state.
    QList<QWidget *> Unchanged() const;

    static QString State(const QWidget *control);

private:
    QHash<const QWidget *, QString> m_states;
};
