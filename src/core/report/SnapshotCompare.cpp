// Two settings snapshots side by side.
#include "SnapshotCompare.h"

#include "document/DownloadVerifier.h"
#include "document/OptionsFile.h"
#include "document/SettingsImage.h"
#include "document/WordImage.h"
#include "platform/ProfileFile.h"

#include <algorithm>

namespace {

CProfileFile Parse(const QString &text)
{
    CProfileFile file;
    // The options file is Latin-1 on disk; the snapshot keeps that text.
    file.LoadFromBytes(text.toLatin1());
    return file;
}

bool ContainsCaseBlind(const QStringList &list, const QString &name)
{
    return std::any_of(list.begin(), list.end(), [&](const QString &s) { return s.compare(name, Qt::CaseInsensitive) == 0; });
}

// The block as the [Binary] line holds it; false when the line is missing
// or damaged (a hand-edited file, an older snapshot).
bool TimeKeeper(const CProfileFile &file, CSettingsImage &image)
{
    QByteArray bytes;
    if (!file.GetStruct(COptionsFile::BinarySection, COptionsFile::TimeKeeperKey, bytes, CSettingsImage::TimeKeeperSize))
        return false;
    std::copy(bytes.begin(), bytes.end(), image.TimeKeeperBytes().begin());
    return true;
}

} // namespace

QList<SnapshotCompareRow> CSnapshotCompare::Rows(const QString &leftText, const QString &rightText)
{
    const CProfileFile left = Parse(leftText);
    const CProfileFile right = Parse(rightText);
    const QString binary = COptionsFile::BinarySection;

    QStringList sections = left.Sections();
    for (const QString &s : right.Sections()) {
        if (!ContainsCaseBlind(sections, s))
            sections.append(s);
    }

    QList<SnapshotCompareRow> rows;
    for (const QString &section : sections) {
        if (section.compare(binary, Qt::CaseInsensitive) == 0)
            continue;
        QStringList keys = left.Keys(section);
        for (const QString &k : right.Keys(section)) {
            if (!ContainsCaseBlind(keys, k))
                keys.append(k);
        }
        for (const QString &key : keys) {
            SnapshotCompareRow row;
            row.section = section;
            row.key = key;
            row.left = left.GetString(section, key);
            row.right = right.GetString(section, key);
            row.differs = row.left != row.right;
            rows.append(row);
        }
    }

    const CWordImage noTables;
    CSettingsImage a(noTables);
    CSettingsImage b(noTables);
    if (TimeKeeper(left, a) && TimeKeeper(right, b)) {
        const QString bytePrefix = QStringLiteral("TimeKeeper byte ");
        for (const CDownloadDifference &d : CDownloadVerifier::Compare(a, b)) {
            // Keyed fields were compared above as the file shows them; here
            // they would be shown without the instrument's tables.
            if (d.key.startsWith(bytePrefix))
                rows.append({binary, d.key, d.sent, d.readBack, true});
        }
    }
    return rows;
}

QList<SnapshotCompareRow> CSnapshotCompare::Differences(const QString &leftText, const QString &rightText)
{
    QList<SnapshotCompareRow> rows = Rows(leftText, rightText);
    rows.erase(std::remove_if(rows.begin(), rows.end(), [](const SnapshotCompareRow &r) { return !r.differs; }), rows.end());
    return rows;
}
