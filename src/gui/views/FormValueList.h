// A drop-down list of numbers as the settings forms use it: items right-aligned,
// rebuilt from a start, an end and a step, typed text snapped to an item.
#pragma once

#include <QComboBox>

class CFormValueList : public QComboBox
{
    Q_OBJECT
public:
    // editable: the user may type a value; it is snapped to an item when the
    // edit is finished.
    explicit CFormValueList(bool editable, QWidget *parent = nullptr);

    // The shown text read as a number (its leading number; 0 without one).
    double Value() const;
    // Selects the first item whose number plus 0.001 exceeds value, else the
    // last item. Nothing happens on an empty list.
    void SelectValue(double value);
    // Shows value, printed as text: selects the item SelectValue picks when
    // that item reads text; otherwise shows the value as it is rather than a
    // neighbouring item: as the typed text of an editable list, or as an
    // extra last item of a drop-down list (the next Build drops it).
    void ShowValue(double value, const QString &text);
    // Fills the list with start, start + step, ... up to end (with a hundredth
    // of a step of slack for the sums' rounding), at most MaxItems items.
    // Items whose text is unchanged are left alone; when anything changed the
    // value shown before is selected again. Returns whether anything changed.
    bool Build(double start, double end, double step, int decimals);
    // Replaces the items by texts, keeping the selected index where it still exists.
    void SetTexts(const QStringList &texts);
    // Sets item `index`'s text, appending blanks up to it when the list is short.
    void SetItemTextAt(int index, const QString &text);

    // The leading number of a text as C's atof reads it: blanks, a sign,
    // digits and a decimal point; 0 when the text does not start with one.
    static double LeadingNumber(const QString &text);
    // The first item whose text starts with prefix; -1 when none does.
    int FindPrefix(const QString &prefix) const;

    static constexpr int MaxItems = 1000;

signals:
    // The user finished typing (focus left the list or Enter was pressed),
    // after the typed text was snapped to an item.
    void EditingDone();

private:
    void SetAligned(int index, const QString &text);
    void Snap();
};
