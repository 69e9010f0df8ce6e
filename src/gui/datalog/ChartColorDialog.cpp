// Chart colour choice.
#include "ChartColorDialog.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QPushButton>
#include <QVBoxLayout>

QColor CChartColorDialog::ToColor(int ref, const QColor &systemBackground)
{
    if (ref == LogChartColors::SystemBackground)
        return systemBackground;
    return QColor(LogChartColors::Red(ref), LogChartColors::Green(ref), LogChartColors::Blue(ref));
}

CChartColorDialog::CChartColorDialog(QWidget *parent)
    : QDialog(parent), m_colors(LogChartColors::Load()), m_chooser([](const QColor &current, QWidget *p) {
          return QColorDialog::getColor(current, p, QStringLiteral("Color"));
      })
{
    setWindowTitle(QStringLiteral("Color Selection"));
    auto *grid = new QGridLayout;
    const QList<QPair<QString, QString>> buttons = {
        {QStringLiteral("Norm"), QString::fromLatin1(LogChartColors::NormKey)},
        {QStringLiteral("STEL"), QString::fromLatin1(LogChartColors::StelKey)},
        {QStringLiteral("TWA"), QString::fromLatin1(LogChartColors::TwaKey)},
        {QStringLiteral("Calculated"), QString::fromLatin1(LogChartColors::CalculatedKey)},
        {QStringLiteral("Marker"), QString::fromLatin1(LogChartColors::MarkerKey)},
        {QStringLiteral("Background"), QString::fromLatin1(LogChartColors::BackgroundKey)},
    };
    int row = 0;
    for (const auto &[label, key] : buttons) {
        auto *button = new QPushButton(label, this);
        button->setMinimumWidth(100);
        auto *swatch = new QPushButton(this);
        swatch->setFixedSize(48, 22);
        swatch->setFocusPolicy(Qt::NoFocus);
        swatch->setFlat(true);
        swatch->setAutoFillBackground(true);
        const QString k = key;
        connect(button, &QPushButton::clicked, this, [this, k] { Choose(k); });
        connect(swatch, &QPushButton::clicked, this, [this, k] { Choose(k); });
        grid->addWidget(button, row, 0);
        grid->addWidget(swatch, row, 1);
        m_swatches.append({key, swatch});
        ++row;
    }
    auto *box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton *reset = box->addButton(QStringLiteral("Reset"), QDialogButtonBox::ResetRole);
    connect(reset, &QPushButton::clicked, this, &CChartColorDialog::Reset);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(box);
    Repaint();
}

int &CChartColorDialog::Slot(const QString &key)
{
    if (key == QLatin1String(LogChartColors::StelKey))
        return m_colors.stel;
    if (key == QLatin1String(LogChartColors::TwaKey))
        return m_colors.twa;
    if (key == QLatin1String(LogChartColors::CalculatedKey))
        return m_colors.calculated;
    if (key == QLatin1String(LogChartColors::MarkerKey))
        return m_colors.marker;
    if (key == QLatin1String(LogChartColors::BackgroundKey))
        return m_colors.background;
    return m_colors.norm;
}

void CChartColorDialog::Choose(const QString &key)
{
    int &slot = Slot(key);
    const QColor current = ToColor(slot, palette().color(QPalette::Base));
    const QColor chosen = m_chooser(current, this);
    if (!chosen.isValid() || chosen == current)
        return;
    slot = LogChartColors::FromRgb(chosen.red(), chosen.green(), chosen.blue());
    LogChartColors::Store(key, slot);
    Repaint();
}

void CChartColorDialog::Reset()
{
    m_colors.Reset();
    Repaint();
}

void CChartColorDialog::Repaint()
{
    for (const auto &[key, swatch] : std::as_const(m_swatches)) {
        const QColor colour = ToColor(Slot(key), palette().color(QPalette::Base));
        swatch->setStyleSheet(QStringLiteral("background-color: %1; border: 1px solid #808080;").arg(colour.name()));
    }
}
