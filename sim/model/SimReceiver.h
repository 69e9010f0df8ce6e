// The instrument's receiver: cuts the characters coming down the line into
// requests (hex records and the one-character log commands).
#pragma once

#include <QByteArray>
#include <QList>

class CSimReceiver
{
public:
    // The longest record the line can carry: N = 255.
    static constexpr int MaxRecordLength = 11 + 2 * 255;

    // Takes received characters and returns the requests completed by them,
    // in order. A request is either one of the characters "!", "?", "Z" or the
    // text of a record from its ":" to its last character (11 + 2N characters,
    // or three characters when the count field is not hexadecimal, so that the
    // instrument can refuse it). Everything else outside a record is line
    // noise and is dropped. A ":" inside a record starts the record again, as
    // the instrument's firmware resynchronises on the start character.
    QList<QByteArray> Feed(const char *data, qsizetype size);
    QList<QByteArray> Feed(const QByteArray &chunk) { return Feed(chunk.constData(), chunk.size()); }

    void Clear() { m_record.clear(); }
    bool IsAssembling() const { return !m_record.isEmpty(); }
    qsizetype Buffered() const { return m_record.size(); }

private:
    QByteArray m_record;
};
