// Request cutter of the simulated instrument.
#include "SimReceiver.h"

#include "link/LinkRecord.h"

QList<QByteArray> CSimReceiver::Feed(const char *data, qsizetype size)
{
    QList<QByteArray> requests;
    for (qsizetype i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == ':') {
            m_record = QByteArray(1, ':');
            continue;
        }
        if (m_record.isEmpty()) {
            if (c == '!' || c == '?' || c == 'Z')
                requests.append(QByteArray(1, c));
            continue;
        }
        m_record.append(c);
        if (m_record.size() < 3)
            continue;
        if (!LinkRecord::IsHexDigit(m_record[1]) || !LinkRecord::IsHexDigit(m_record[2])) {
            // The count is unreadable, so is the length: hand the stub on to
            // be refused and wait for the next ":".
            requests.append(m_record);
            m_record.clear();
            continue;
        }
        const int length = LinkRecord::RecordLength(LinkRecord::RecordCount(m_record.constData()));
        if (m_record.size() >= length) {
            requests.append(m_record);
            m_record.clear();
        }
    }
    return requests;
}
