// Reading the board-test limits.
#include "BoardTestLimits.h"

#include "platform/DataFiles.h"

QString CBoardTestLimits::DefaultPath()
{
    return CDataFiles::Locate(QString::fromLatin1(FileName));
}

void CBoardTestLimits::Load(const QString &path)
{
    m_path = path;
    if (!m_file.Load(path, CProfileFile::Missing::Fail))
        m_file.LoadFromBytes({});
}

BoardTestLimit CBoardTestLimits::Lookup(const QString &key) const
{
    return Parse(m_file.GetString(QString::fromLatin1(Section), key, QStringLiteral("0 0")));
}

BoardTestLimit CBoardTestLimits::Parse(const QString &value)
{
    // The fields are found by single spaces, as the file's readers always
    // did; each field is read as a leading number, so "1.5mA" is 1.5.
    BoardTestLimit limit;
    limit.minimum = CProfileFile::LeadingReal(value);
    const qsizetype first = value.indexOf(QLatin1Char(' '));
    if (first < 0)
        return limit;
    limit.maximum = CProfileFile::LeadingReal(value.mid(first + 1));
    const qsizetype second = value.indexOf(QLatin1Char(' '), first + 1);
    if (second < 0)
        return limit;
    limit.setting = CProfileFile::LeadingReal(value.mid(second + 1));
    return limit;
}
