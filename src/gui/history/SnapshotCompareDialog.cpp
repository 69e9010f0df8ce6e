// The snapshot comparison.
#include "SnapshotCompareDialog.h"

#include "history/HistoryStore.h"
#include "report/HistoryReport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

const QString CSnapshotCompareDialog::Caption = QStringLiteral("Compare Settings");

CSnapshotCompareDialog::CSnapshotCompareDialog(const CHistoryStore &store, const QString &serial, qint64 leftId,
                                               qint64 rightId, QWidget *parent)
    : CSnapshotCompareDialog(store.Snapshots(serial), serial, leftId, rightId, parent)
{
}

CSnapshotCompareDialog::CSnapshotCompareDialog(const QList<HistorySnapshot> &snapshots, const QString &serial, qint64 leftId,
                                               qint64 rightId, QWidget *parent)
    : QDialog(parent), m_snapshots(snapshots), m_left(new QComboBox(this)), m_right(new QComboBox(this)),
      m_differencesOnly(new QCheckBox(QStringLiteral("Differences only"), this)), m_table(new QTableWidget(this)),
      m_summary(new QLabel(this))
{
    setWindowTitle(QStringLiteral("%1 - %2").arg(Caption, serial));
    for (const HistorySnapshot &s : m_snapshots) {
        m_left->addItem(SnapshotText(s), s.id);
        m_right->addItem(SnapshotText(s), s.id);
    }
    // Newest first in the list: the older one goes left by default.
    const auto pick = [](QComboBox *box, qint64 id, int fallback) {
        const int found = id != 0 ? box->findData(id) : -1;
        box->setCurrentIndex(found >= 0 ? found : qMin(fallback, box->count() - 1));
    };
    pick(m_left, leftId, 1);
    pick(m_right, rightId, 0);
    m_differencesOnly->setChecked(true);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Left:"), m_left);
    form->addRow(QStringLiteral("Right:"), m_right);

    m_table->setColumnCount(4);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setAlternatingRowColors(true);
    m_table->setWordWrap(false);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_differencesOnly);
    bottom->addWidget(m_summary, 1);
    bottom->addWidget(buttons);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_table, 1);
    layout->addLayout(bottom);

    connect(m_left, &QComboBox::currentIndexChanged, this, &CSnapshotCompareDialog::Refresh);
    connect(m_right, &QComboBox::currentIndexChanged, this, &CSnapshotCompareDialog::Refresh);
    connect(m_differencesOnly, &QCheckBox::toggled, this, &CSnapshotCompareDialog::Refresh);
    resize(760, 520);
    Refresh();
}

QString CSnapshotCompareDialog::SnapshotText(const HistorySnapshot &s)
{
    QString kind = QStringLiteral("Upload");
    if (s.kind == HistorySnapshot::Download)
        kind = s.verified ? QStringLiteral("Download, verified") : QStringLiteral("Download, NOT verified");
    QStringList where;
    for (const QString &part : {s.computer, s.user}) {
        if (!part.isEmpty())
            where.append(part);
    }
    const QString who = where.isEmpty() ? QString() : QStringLiteral("  (%1)").arg(where.join(QStringLiteral(", ")));
    return QStringLiteral("%1  %2%3").arg(CHistoryReport::LocalDateTime(s.time), kind, who);
}

const HistorySnapshot *CSnapshotCompareDialog::Chosen(const QComboBox *box) const
{
    const int i = box->currentIndex();
    return i >= 0 && i < m_snapshots.size() ? &m_snapshots.at(i) : nullptr;
}

void CSnapshotCompareDialog::Refresh()
{
    const HistorySnapshot *left = Chosen(m_left);
    const HistorySnapshot *right = Chosen(m_right);
    m_rows.clear();
    int differences = 0;
    if (left && right) {
        const QList<SnapshotCompareRow> all = CSnapshotCompare::Rows(left->optionsText, right->optionsText);
        for (const SnapshotCompareRow &r : all) {
            differences += r.differs ? 1 : 0;
            if (r.differs || !m_differencesOnly->isChecked())
                m_rows.append(r);
        }
    }
    m_table->clearContents();
    m_table->setRowCount(int(m_rows.size()));
    m_table->setHorizontalHeaderLabels({QStringLiteral("Section"), QStringLiteral("Option"),
                                        left ? CHistoryReport::LocalDateTime(left->time) : QStringLiteral("Left"),
                                        right ? CHistoryReport::LocalDateTime(right->time) : QStringLiteral("Right")});
    const QBrush changed(QColor(0xff, 0xf1, 0xc4));
    for (int i = 0; i < m_rows.size(); ++i) {
        const SnapshotCompareRow &r = m_rows.at(i);
        const QStringList cells = {r.section, r.key, r.left, r.right};
        for (int c = 0; c < cells.size(); ++c) {
            auto *item = new QTableWidgetItem(cells.at(c));
            if (r.differs)
                item->setBackground(changed);
            m_table->setItem(i, c, item);
        }
    }
    m_table->resizeColumnsToContents();

    if (m_snapshots.size() < 2)
        m_summary->setText(QStringLiteral("The history holds fewer than two snapshots of this instrument."));
    else if (left == right)
        m_summary->setText(QStringLiteral("The same snapshot on both sides."));
    else if (differences == 0)
        m_summary->setText(QStringLiteral("The two snapshots hold the same settings."));
    else
        m_summary->setText(differences == 1 ? QStringLiteral("1 difference") : QStringLiteral("%1 differences").arg(differences));
}
