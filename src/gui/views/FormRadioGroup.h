// A titled group of radio buttons whose value is the index of the checked one.
#pragma once

#include <QGroupBox>
#include <QList>

class QButtonGroup;
class QRadioButton;

class CFormRadioGroup : public QGroupBox
{
    Q_OBJECT
public:
    // columns: buttons per row (1 stacks them).
    CFormRadioGroup(const QString &title, const QStringList &buttons, int columns = 1, QWidget *parent = nullptr);

    // The index of the checked button; -1 when none is.
    int Value() const;
    // Checks button `index` and clears the others; an index outside clears all.
    void SetValue(int index);
    QRadioButton *Button(int index) const;
    int Count() const { return int(m_buttons.size()); }

signals:
    // The user clicked button `index`.
    void Clicked(int index);

private:
    QButtonGroup *m_group;
    QList<QRadioButton *> m_buttons;
};
