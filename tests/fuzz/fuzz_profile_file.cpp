// Fuzz target: profile-file bytes through the reader, a structure lookup and
// an edit that must read back the same after a save to bytes and a reload.
#include "platform/ProfileFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    CProfileFile profile;
    profile.LoadFromBytes(bytes);

    const QString sensors = QStringLiteral("Sensors");
    const QString binary = QStringLiteral("Binary");
    const QString timeKeeper = QStringLiteral("TimeKeeper");
    if (profile.GetString(sensors, QStringLiteral("LastCalDate")).size() > CProfileFile::MaxValueLength)
        std::abort();
    profile.GetInt(sensors, QStringLiteral("CalDac0"), -1);
    CProfileFile::LeadingReal(profile.GetString(QStringLiteral("Main PCB Test"), QStringLiteral("TC Span"), QStringLiteral("0 0")));
    const QString head = QString::fromLatin1(bytes.left(80));
    CProfileFile::LeadingInt(head);
    CProfileFile::LeadingReal(head);
    QByteArray block;
    if (profile.GetStruct(binary, timeKeeper, block, 64) && block.size() != 64)
        std::abort();
    for (const QString &section : profile.Sections()) {
        for (const QString &key : profile.Keys(section))
            profile.GetString(section, key);
    }

    // Whatever was there, a written value and structure read back as written.
    QByteArray written(64, '\0');
    for (int i = 0; i < written.size(); ++i)
        written[i] = char(size ? data[size_t(i) % size] : i);
    const QString id = QStringLiteral("Fuzz Unit  01");
    profile.WriteStruct(binary, timeKeeper, written);
    profile.WriteString(QStringLiteral("Datalog Features"), QStringLiteral("InstrumentID"), id);

    CProfileFile reloaded;
    reloaded.LoadFromBytes(profile.ToBytes());
    QByteArray back;
    if (!reloaded.GetStruct(binary, timeKeeper, back, 64) || back != written)
        std::abort();
    if (reloaded.GetString(QStringLiteral("datalog features"), QStringLiteral("instrumentid")) != id)
        std::abort();
    if (reloaded.ToBytes() != profile.ToBytes())
        std::abort();
    return 0;
}
