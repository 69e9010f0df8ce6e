// Number lists of the settings forms.
#include "FormValueList.h"

#include "document/SettingsCodec.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <QStyledItemDelegate>
#include <cmath>

namespace {
// Draws the items right-aligned and keeps two pixels clear of the right edge,
// so the digits of a column of levels line up under each other.
class CRightAlignedDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->displayAlignment = Qt::AlignRight | Qt::AlignVCenter;
        option->rect.adjust(0, 0, -2, 0);
    }
};
} // namespace

CFormValueList::CFormValueList(bool editable, QWidget *parent) : QComboBox(parent)
{
    setEditable(editable);
    setItemDelegate(new CRightAlignedDelegate(this));
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(6);
    setMaxVisibleItems(16);
    if (editable) {
        // Typed levels are free numbers: no inline completion that would turn
        // "2" into the first item starting with 2, and no new items.
        setInsertPolicy(QComboBox::NoInsert);
        setCompleter(nullptr);
        lineEdit()->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        connect(lineEdit(), &QLineEdit::editingFinished, this, [this] {
            Snap();
            emit EditingDone();
        });
    }
}

double CFormValueList::LeadingNumber(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^\\s*([+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?)"));
    const QRegularExpressionMatch m = number.match(text);
    if (!m.hasMatch())
        return 0.0;
    bool ok = false;
    const double v = m.captured(1).toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0.0;
}

double CFormValueList::Value() const
{
    return LeadingNumber(currentText());
}

void CFormValueList::SelectValue(double value)
{
    if (count() == 0)
        return;
    int chosen = count() - 1;
    for (int i = 0; i < count(); ++i) {
        if (LeadingNumber(itemText(i)) + 0.001 > value) {
            chosen = i;
            break;
        }
    }
    setCurrentIndex(chosen);
    if (isEditable())
        setEditText(itemText(chosen));
}

void CFormValueList::ShowValue(double value, const QString &text)
{
    SelectValue(value);
    if (currentIndex() >= 0 && itemText(currentIndex()) == text)
        return;
    if (isEditable()) {
        setEditText(text);
        return;
    }
    // The extra item is added once: the same value shown again (every
    // status poll shows the held levels) selects it.
    int at = findText(text, Qt::MatchExactly);
    if (at < 0) {
        addItem(text);
        at = count() - 1;
        setItemData(at, int(Qt::AlignRight | Qt::AlignVCenter), Qt::TextAlignmentRole);
    }
    setCurrentIndex(at);
}

void CFormValueList::SetAligned(int index, const QString &text)
{
    setItemText(index, text);
    setItemData(index, int(Qt::AlignRight | Qt::AlignVCenter), Qt::TextAlignmentRole);
}

bool CFormValueList::Build(double start, double end, double step, int decimals)
{
    const double remembered = Value();
    bool changed = false;
    int n = 0;
    if (step > 0.0 && std::isfinite(start) && std::isfinite(end)) {
        double v = start;
        while (v <= end + 0.01 * step && n < MaxItems) {
            // Halves round away from zero: the 0.25 %VOL steps show as 0.3, 0.5, 0.8 ...
            const QString t = CSettingsCodec::FormatFixed(v, decimals);
            if (n < count()) {
                if (itemText(n) != t) {
                    SetAligned(n, t);
                    changed = true;
                }
            } else {
                addItem(t);
                setItemData(n, int(Qt::AlignRight | Qt::AlignVCenter), Qt::TextAlignmentRole);
                changed = true;
            }
            ++n;
            v += step;
        }
    }
    while (count() > n) {
        removeItem(count() - 1);
        changed = true;
    }
    if (changed)
        SelectValue(remembered);
    return changed;
}

void CFormValueList::SetTexts(const QStringList &texts)
{
    const int selected = currentIndex();
    for (int i = 0; i < texts.size(); ++i) {
        if (i < count()) {
            if (itemText(i) != texts[i])
                SetAligned(i, texts[i]);
        } else {
            addItem(texts[i]);
            setItemData(i, int(Qt::AlignRight | Qt::AlignVCenter), Qt::TextAlignmentRole);
        }
    }
    while (count() > texts.size())
        removeItem(count() - 1);
    if (count() > 0) {
        setCurrentIndex(qBound(0, selected, count() - 1));
        if (isEditable())
            setEditText(itemText(currentIndex()));
    }
}

void CFormValueList::SetItemTextAt(int index, const QString &text)
{
    if (index < 0)
        return;
    while (count() <= index)
        addItem(QString());
    SetAligned(index, text);
}

int CFormValueList::FindPrefix(const QString &prefix) const
{
    for (int i = 0; i < count(); ++i) {
        if (itemText(i).startsWith(prefix))
            return i;
    }
    return -1;
}

void CFormValueList::Snap()
{
    SelectValue(Value());
}
