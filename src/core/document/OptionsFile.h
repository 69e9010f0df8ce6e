// The options file (.kvo): one instrument's settings and ID texts in shown units, saved and loaded through the document.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class CInstrumentDoc;
class CProfileFile;
class CSettingsImage;

/*
 * A profile (INI) file with four sections:
 *   [Sensors]            calibration offsets, spans, DACs, last calibration date
 *   [Advanced Features]  alarm levels, sensors fitted and their gases, cal
 *                        gases, passwords, delays, switches
 *   [Datalog Features]   indexes, log settings, then the 81 ID texts
 *   [Binary]             TimeKeeper=the raw 64-byte block as hex plus a
 *                        checksum byte; written for the record, never loaded
 * Values are in the units the user sees, so a file from one instrument can
 * be loaded into another whose range and toxic tables differ: every level is
 * converted with the tables the document holds when it is loaded. Loading
 * reads only the named keys; HCRangeIndex, the clock registers and the
 * reserved bits keep what the document had.
 *
 * Saving into an existing file replaces the keys where they stand and keeps
 * every other line, so a technician's notes in the file survive.
 */
class COptionsFile
{
public:
    static const QString SensorsSection;
    static const QString AdvancedSection;
    static const QString DatalogSection;
    static const QString BinarySection;
    static const QString TimeKeeperKey;

    // One named key as a save writes it.
    struct Entry
    {
        QString section;
        QString key;
        QString value; // the text written to the file
        QString shown; // as a view shows it (levels with their decimals)
    };

    // Every named key in file order: [Sensors], [Advanced Features], then
    // [Datalog Features] with its five settings keys followed by the IDs.
    static QList<Entry> Entries(const CSettingsImage &settings);

    // Writes the named keys and the [Binary] copy into a profile document.
    static void Write(const CSettingsImage &settings, CProfileFile &file);

    // Applies the named keys of a profile document to the image. A missing
    // key counts as empty text (0, password 1023, sensor not fitted, blank
    // ID). Returns what could not be taken as the file gives it: a missing
    // section, a gas the toxic table does not hold, a level or calibration
    // gas that the instrument's fields cannot store (it is stored anyway, as
    // the fields allow). Each line names the key.
    static QStringList Apply(const CProfileFile &file, CSettingsImage &settings);

    // The document's "save to file": views store their edits first (update
    // code 1002), then the file is written. False with *error naming the file
    // when it cannot be read (to keep its other lines) or written.
    static bool Save(CInstrumentDoc &doc, const QString &path, QString *error = nullptr);

    // The document's "load from file". A file that cannot be read leaves the
    // document untouched and returns false with *error naming it. Otherwise
    // the keys are applied, views hear update code 40 (entry 0) and then 48
    // for each ID entry 1..81, and *warnings receives what Apply returned.
    static bool Load(CInstrumentDoc &doc, const QString &path, QString *error = nullptr,
                     QStringList *warnings = nullptr);
};
