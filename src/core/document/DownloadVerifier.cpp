// Checks a download by reading the instrument's settings and ID texts back and comparing them with what was sent.
#include "DownloadVerifier.h"

#include "InstrumentDoc.h"
#include "OptionsFile.h"
#include "link/RecordTypes.h"

CDownloadVerifier::CDownloadVerifier(CInstrumentDoc &doc, QObject *parent) : QObject(parent), m_doc(doc)
{
    connect(&m_doc, &CInstrumentDoc::Updated, this, &CDownloadVerifier::OnUpdated);
}

void CDownloadVerifier::TakeSnapshot()
{
    m_sent.emplace(m_doc.Settings());
}

void CDownloadVerifier::StartReadBack()
{
    m_reading = true;
    m_settingsBack = false;
    m_idsBack.clear();
    m_doc.ReadTimeKeeperSettings();
    // The entries one by one rather than through ReadIdEntries: that opens
    // the upload progress with steps for the toxic table, which is not read
    // again here, so the window would never close.
    for (int entry = 1; entry <= CSettingsImage::IdEntryCount; ++entry)
        m_doc.Link().QueueRequest(RecordType::ReadIdEntry, quint32(entry));
}

void CDownloadVerifier::OnUpdated(int code, const CReplyNotice &notice)
{
    if (!m_reading || IsReadBackFinished())
        return;
    // The settings travel as four pieces in order; code 40 comes with the
    // last one, which the instrument answers after the other three.
    if (code == UpdateCode::Settings)
        m_settingsBack = true;
    else if (code == UpdateCode::IdEntry && notice.address >= 1 && notice.address <= CSettingsImage::IdEntryCount)
        m_idsBack.insert(int(notice.address));
    else
        return;
    if (IsReadBackFinished())
        emit ReadBackFinished();
}

QList<CDownloadDifference> CDownloadVerifier::Differences() const
{
    if (!m_sent)
        return {};
    return Compare(*m_sent, m_doc.Settings());
}

QList<CDownloadDifference> CDownloadVerifier::Compare(const CSettingsImage &sent, const CSettingsImage &readBack)
{
    QList<CDownloadDifference> out;
    const QList<COptionsFile::Entry> a = COptionsFile::Entries(sent);
    const QList<COptionsFile::Entry> b = COptionsFile::Entries(readBack);
    for (qsizetype i = 0; i < a.size() && i < b.size(); ++i) {
        // The file text compares more finely than the shown one: two raw
        // levels that round to the same shown text still differ.
        if (a[i].value != b[i].value)
            out.append({a[i].key, a[i].shown, b[i].shown});
    }

    // Bits no key shows (HCRangeIndex, reserved bits, a date field that
    // reads back as the same calendar day) are still compared byte by byte.
    const auto &x = sent.TimeKeeperBytes();
    const auto &y = readBack.TimeKeeperBytes();
    CSettingsImage probe(sent);
    for (int i = CSettingsImage::SettingsOffset; i < CSettingsImage::TimeKeeperSize; ++i) {
        if (x[size_t(i)] == y[size_t(i)])
            continue;
        // Does this byte alone make a keyed field differ? Then it is listed.
        probe.TimeKeeperBytes() = x;
        probe.TimeKeeperBytes()[size_t(i)] = y[size_t(i)];
        const QList<COptionsFile::Entry> c = COptionsFile::Entries(probe);
        bool keyed = false;
        for (qsizetype k = 0; k < a.size() && k < c.size() && !keyed; ++k)
            keyed = a[k].value != c[k].value;
        if (!keyed)
            out.append({QStringLiteral("TimeKeeper byte %1").arg(i),
                        QStringLiteral("%1").arg(x[size_t(i)], 2, 16, QLatin1Char('0')).toUpper(),
                        QStringLiteral("%1").arg(y[size_t(i)], 2, 16, QLatin1Char('0')).toUpper()});
    }
    return out;
}
