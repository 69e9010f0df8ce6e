// One flash programming run from an Intel HEX file: the requests it queues, the
// replies it follows, and the serial number, date and checksum it stamps at the end.
#pragma once

#include "firmware/HexFile.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class CInstrumentDoc;
class CWordImage;
class IUserPrompt;
struct CReplyNotice;

/*
 * A run, in the order the requests reach the link:
 *   StartProgramming, SetProgramMode 1, the identity words read (0xC003),
 *   EraseSector 0xC000, then the file's records in file order (a data record
 *   above the boot area is written, one inside it is read back to compare;
 *   the end record queues EndProgramming), then QueryProgramMode, the
 *   configuration reads, ReadToxicTableCount and the identity words again.
 * The "#" for EndProgramming completes the run: the serial number from the
 * section's "SequentialID", the date, the configuration checksum, the
 * identity write, then the program-mode marker and SetProgramMode 0. The run
 * is Done when the instrument acknowledges that last request.
 *
 * A file is checked as a whole before anything is queued: a damaged file
 * queues nothing and leaves the instrument alone.
 */
class CProgrammingEngine : public QObject
{
    Q_OBJECT
public:
    enum class State {
        Idle,      // no run yet
        Running,   // queued, waiting for the EndProgramming acknowledgement
        Finishing, // stamped; waiting for the program mode to be switched off
        Done,
        Cancelled, // the user stopped it at a mismatch, or Cancel()
        Failed,    // the instrument refused a block
    };
    Q_ENUM(State)

    static constexpr quint32 IdentityWord = 0xC003;
    static constexpr int IdentityReadWords = 8;  // the status words as the document reads them
    static constexpr int IdentityWriteWords = 5; // checksum, serial number, programming date
    static constexpr quint32 SerialWord = 0xC004;
    static constexpr quint32 DateWord = 0xC006;
    static constexpr quint32 ConfigurationSector = 0xC000;
    static constexpr quint32 ConfigurationSectorEnd = 0x10000;
    static constexpr quint16 ChecksumSeed = 0xC0DD;
    // The instrument looks for these bytes in its RAM before it lets the
    // program-mode bit change.
    static constexpr int MarkerAddress = 1021;
    static QByteArray Marker() { return QByteArrayLiteral("ZVQ"); }
    // A mismatch report lists this many words and counts the rest.
    static constexpr int MaxListedMismatches = 50;

    // section: the preferences section holding "SequentialID".
    CProgrammingEngine(CInstrumentDoc &doc, const QString &section, QObject *parent = nullptr);

    // Where the mismatch question and refusals go; none: a mismatch cancels.
    void SetPrompt(IUserPrompt *prompt) { m_prompt = prompt; }
    // Caption of the engine's messages.
    void SetCaption(const QString &caption) { m_caption = caption; }
    // Seconds since 1970 for the programming date; the system clock when empty.
    void SetDateSource(std::function<qint64()> now) { m_now = std::move(now); }

    /*
     * The wizard's part of the completion. prepare runs after the serial
     * number and date are in the word image and before the checksum is
     * taken, so that what it puts into the configuration sector is covered;
     * queue runs after the identity write is queued and before the program
     * mode is switched off.
     */
    void SetCompletionSteps(std::function<void()> prepare, std::function<void()> queue);

    // Starts a run; false when the file is refused (ErrorString() says why
    // and names the line) and nothing was sent.
    bool Start(const QString &path);
    bool Start(const CHexFile &file);
    // Drops every queued and in-flight request and ends the run.
    void Cancel();

    // A word write that belongs to the run's completion; a refusal fails the run.
    void QueueWrite(quint32 word, const QByteArray &bytes);

    State GetState() const { return m_state; }
    bool IsActive() const { return m_state == State::Running; }
    QString ErrorString() const { return m_error; }
    // "Programming", "Done", "Cancelled", "Failed" or empty.
    QString StatusText() const { return m_status; }
    int ProgressMaximum() const { return m_lines; }
    int ProgressPosition() const { return qMin(m_replies, m_lines); }
    // The serial number stamped by the last completion; 0 before one.
    quint32 SerialNumber() const { return m_serial; }
    // Every mismatch report of the run, as shown.
    const QStringList &MismatchReports() const { return m_reports; }

    // The value that remembers a file's path in "Programming": "HexFile",
    // or the board test's names for its two files.
    static QString FileValueName(const QString &path);
    // Stores the path as the Programming view does.
    static void StoreFileName(const QString &path);

    // The configuration checksum over words 0xC000..0xFFFF of the image.
    static quint16 ConfigurationChecksum(const CWordImage &words);
    // "Mismatched ROM" with one line per differing word, at most
    // MaxListedMismatches of them; empty when none differs.
    struct WordDifference
    {
        quint32 address;
        quint16 instrument;
        quint16 file;
    };
    static QString MismatchReport(const QList<WordDifference> &differences);

    // Writes the program-mode marker, then asks for the mode bit.
    static void ChangeProgramMode(CInstrumentDoc &doc, int bit);

signals:
    void StateChanged(CProgrammingEngine::State state);
    void ProgressChanged(int position, int maximum);
    void StatusTextChanged(const QString &text);

private:
    void OnUpdate(int code, const CReplyNotice &notice);
    void OnWriteAnswered(bool refused);
    void OnWordBlock(qint64 address, int count);
    void AskAboutMismatches();
    void Complete();
    void Fail(const QString &why);
    void SetState(State state);
    void SetStatus(const QString &text);
    void QueueRead(quint32 word, int words);
    bool TakeExpectedRead(qint64 address, int count);

    struct Pending
    {
        quint32 word;
        QByteArray bytes;
    };

    CInstrumentDoc &m_doc;
    QString m_section;
    QString m_caption;
    IUserPrompt *m_prompt = nullptr;
    std::function<qint64()> m_now;
    std::function<void()> m_prepare;
    std::function<void()> m_queue;

    State m_state = State::Idle;
    QString m_status;
    QString m_error;
    int m_lines = 0;
    int m_replies = 0;
    quint32 m_serial = 0;
    QByteArray m_rom;               // the file's boot-area words, 0xFF where it has none
    QList<Pending> m_writes;        // queued writes not yet answered, oldest first
    struct ExpectedRead
    {
        quint32 word;
        int byteCount;
    };
    QList<ExpectedRead> m_reads;    // the run's reads not yet answered
    QList<WordDifference> m_differences; // found while a question is open
    bool m_asking = false;
    bool m_modeOffQueued = false;
    QStringList m_reports;
};
