// The session list dialog.
#include "SessionsDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLocale>
#include <QTreeWidget>
#include <QVBoxLayout>

QString CSessionsDialog::TimeText(const QDateTime &t)
{
    // The fields as the instrument logged them, whatever zone this computer is in.
    const QLocale locale;
    return locale.toString(t.date(), QLocale::ShortFormat) + QLatin1Char(' ')
           + locale.toString(t.time(), QLocale::LongFormat).section(QLatin1Char(' '), 0, 0);
}

CSessionsDialog::CSessionsDialog(const QList<LogRecord> &entries, const QList<LogSession> &sessions, int current,
                                 QWidget *parent)
    : QDialog(parent), m_list(new QTreeWidget(this))
{
    setWindowTitle(QStringLiteral("Sessions"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setAllColumnsShowFocus(true);
    m_list->setHeaderLabels({QStringLiteral("#"), QStringLiteral("Start Time"), QStringLiteral("End Time"),
                             QStringLiteral("Operator"), QStringLiteral("Location")});
    const int widths[] = {40, 120, 120, 120, 120};
    for (int c = 0; c < 5; ++c)
        m_list->setColumnWidth(c, widths[c]);
    for (int i = 0; i < sessions.size(); ++i) {
        const LogSession &s = sessions.at(i);
        const QString start = s.first < entries.size() ? TimeText(entries.at(s.first).time) : QString();
        const QString end = s.last < entries.size() ? TimeText(entries.at(s.last).time) : QString();
        auto *item = new QTreeWidgetItem(m_list, {QString::number(i + 1), start, end, s.operatorText, s.location});
        item->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
    }
    m_list->header()->setStretchLastSection(true);
    if (current >= 0 && current < m_list->topLevelItemCount())
        m_list->setCurrentItem(m_list->topLevelItem(current));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addWidget(buttons);

    // The list as tall as its rows (within reason), so the buttons sit below them.
    const int rowHeight = qMax(18, m_list->fontMetrics().height() + 6);
    const int rows = qBound(3, int(sessions.size()), 20);
    m_list->setMinimumSize(40 + 4 * 120 + 24, m_list->header()->sizeHint().height() + rows * rowHeight + 8);
    adjustSize();
    if (parent)
        move(parent->mapToGlobal(parent->rect().center()) - rect().center());
}

int CSessionsDialog::Selected() const
{
    QTreeWidgetItem *item = m_list->currentItem();
    return item ? m_list->indexOfTopLevelItem(item) : -1;
}
