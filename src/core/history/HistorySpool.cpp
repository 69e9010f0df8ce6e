// The spool file.
#include "history/HistorySpool.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>

namespace {
const QByteArray Header = QByteArrayLiteral("ALTAVO-HISTORY-SPOOL 1\n");
constexpr int LockWaitMs = 15000;

quint32 Crc(const QByteArray &a, const QByteArray &b)
{
    // Two CRC-16 halves: one over each part.
    return (quint32(qChecksum(a)) << 16) | qChecksum(b);
}

QByteArray Frame(const CHistorySpool::Record &r)
{
    QByteArray out = "R " + QByteArray::number(r.meta.size()) + ' ' + QByteArray::number(r.data.size()) + ' '
                     + QByteArray::number(Crc(r.meta, r.data)) + '\n';
    out += r.meta;
    out += r.data;
    out += '\n';
    return out;
}

class CLock
{
public:
    explicit CLock(const QString &path) : m_lock(path + QStringLiteral(".lock")) { m_lock.setStaleLockTime(60000); }
    bool Take(QString *error, const QString &spool)
    {
        if (m_lock.tryLock(LockWaitMs))
            return true;
        *error = QStringLiteral("the history spool %1 is locked by another program").arg(QDir::toNativeSeparators(spool));
        return false;
    }

private:
    QLockFile m_lock;
};
} // namespace

CHistorySpool::CHistorySpool(const QString &path) : m_path(path) {}

bool CHistorySpool::Append(const Record &record, QString *error)
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    CLock lock(m_path);
    if (!lock.Take(error, m_path))
        return false;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadWrite)) {
        *error = QStringLiteral("cannot write the history spool %1: %2").arg(QDir::toNativeSeparators(m_path), file.errorString());
        return false;
    }
    if (file.size() == 0 && file.write(Header) != Header.size()) {
        *error = QStringLiteral("cannot write the history spool %1: %2").arg(QDir::toNativeSeparators(m_path), file.errorString());
        return false;
    }
    file.seek(file.size());
    const QByteArray bytes = Frame(record);
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        *error = QStringLiteral("cannot write the history spool %1: %2").arg(QDir::toNativeSeparators(m_path), file.errorString());
        return false;
    }
    return true;
}

QList<CHistorySpool::Record> CHistorySpool::Read(QByteArray *damaged, QString *error) const
{
    QList<Record> records;
    QFile file(m_path);
    if (!file.exists())
        return records;
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the history spool %1: %2").arg(QDir::toNativeSeparators(m_path), file.errorString());
        return records;
    }
    const QByteArray all = file.readAll();
    qsizetype p = 0;
    if (all.startsWith(Header))
        p = Header.size();
    else if (!all.isEmpty()) {
        *damaged += all;
        return records;
    }
    while (p < all.size()) {
        const qsizetype eol = all.indexOf('\n', p);
        const QList<QByteArray> head = eol < 0 ? QList<QByteArray>() : all.mid(p, eol - p).split(' ');
        bool ok = head.size() == 4 && head[0] == "R";
        const qsizetype metaSize = ok ? head[1].toLongLong(&ok) : 0;
        bool ok2 = false, ok3 = false;
        const qsizetype dataSize = ok ? head[2].toLongLong(&ok2) : 0;
        const quint32 crc = ok ? head[3].toUInt(&ok3) : 0;
        ok = ok && ok2 && ok3 && metaSize >= 0 && dataSize >= 0 && eol + 1 + metaSize + dataSize + 1 <= all.size()
             && all.at(eol + 1 + metaSize + dataSize) == '\n';
        if (ok) {
            Record r{all.mid(eol + 1, metaSize), all.mid(eol + 1 + metaSize, dataSize)};
            if (Crc(r.meta, r.data) == crc) {
                records.append(r);
                p = eol + 1 + metaSize + dataSize + 1;
                continue;
            }
        }
        // Cut or garbled: whatever follows cannot be framed with certainty.
        *damaged += all.mid(p);
        break;
    }
    return records;
}

int CHistorySpool::Count() const
{
    QByteArray damaged;
    QString error;
    return int(Read(&damaged, &error).size());
}

int CHistorySpool::SetAside() const
{
    QFile file(m_path + QStringLiteral(".damaged"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return int(file.readAll().count("\nR ") + (file.size() > 0 ? 1 : 0));
}

int CHistorySpool::Replay(const std::function<Outcome(const Record &)> &apply, QString *error)
{
    if (!QFile::exists(m_path))
        return 0;
    CLock lock(m_path);
    if (!lock.Take(error, m_path))
        return Count();
    QByteArray damaged;
    QList<Record> records = Read(&damaged, error);
    if (!error->isEmpty())
        return int(records.size());
    QList<Record> rejected;
    qsizetype done = 0;
    for (; done < records.size(); ++done) {
        const Outcome o = apply(records.at(done));
        if (o == Outcome::Retry)
            break;
        if (o == Outcome::Reject)
            rejected.append(records.at(done));
    }
    if (!damaged.isEmpty() || !rejected.isEmpty()) {
        QFile aside(m_path + QStringLiteral(".damaged"));
        if (aside.open(QIODevice::Append)) {
            aside.write(damaged);
            for (const Record &r : rejected)
                aside.write(Frame(r));
        }
    }
    records = records.mid(done);
    if (records.isEmpty()) {
        if (!QFile::remove(m_path))
            *error = QStringLiteral("cannot remove the replayed history spool %1").arg(QDir::toNativeSeparators(m_path));
        return 0;
    }
    QSaveFile out(m_path);
    if (out.open(QIODevice::WriteOnly)) {
        out.write(Header);
        for (const Record &r : records)
            out.write(Frame(r));
        if (!out.commit())
            *error = QStringLiteral("cannot rewrite the history spool %1: %2").arg(QDir::toNativeSeparators(m_path), out.errorString());
    }
    return int(records.size());
}
