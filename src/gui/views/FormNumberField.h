// A read-only number shown through a printf format ("%.1lf", "%lg", or a fixed text such as "N/A").
#pragma once

#include <QLabel>

class CFormNumberField : public QLabel
{
    Q_OBJECT
public:
    explicit CFormNumberField(const QString &format, QWidget *parent = nullptr);

    QString Format() const { return m_format; }
    // Re-reads the shown value and shows it again with the new format.
    void SetFormat(const QString &format);
    void SetValue(double value);
    // The shown text read as a number (0 when it is not one, e.g. "N/A").
    double Value() const;

private:
    QString m_format;
};
