// The one document of the program: the connected instrument, its memory
// images, the request operations and transfers, and the news that views follow.
#pragma once

#include "InstrumentIdentity.h"
#include "NoticeWindow.h"
#include "SettingsImage.h"
#include "TransferProgress.h"
#include "UpdateCodes.h"
#include "WordImage.h"
#include "link/InstrumentLink.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <array>
#include <memory>

class CClock;
class IUserPrompt;

class CInstrumentDoc : public QObject, public ILinkReplySink
{
    Q_OBJECT
public:
    static constexpr int RamSize = 2048;
    static constexpr int TimeoutsBeforeNotice = 10;
    static constexpr int LogClearSteps = 84;
    static constexpr quint32 StatusWord = 0xC003;
    static constexpr quint32 ConfigurationWordA = 0xC010;
    static constexpr quint32 ConfigurationWordB = 0xC020;
    static constexpr int ConfigurationBWords = 40;

    // prompt answers the "Serial Connection" question; none means never ask.
    explicit CInstrumentDoc(CClock &clock, IUserPrompt *prompt = nullptr, QObject *parent = nullptr);
    ~CInstrumentDoc() override;

    CInstrumentLink &Link() { return *m_link; }
    CClock &Clock() { return m_clock; }
    void SetPrompt(IUserPrompt *prompt) { m_prompt = prompt; }

    // ---- images ----
    CSettingsImage &Settings() { return m_settings; }
    const CSettingsImage &Settings() const { return m_settings; }
    CWordImage &Words() { return m_words; }
    const CWordImage &Words() const { return m_words; }
    const QByteArray &Ram() const { return m_ram; }
    const QByteArray &LiveBlock(int k) const { return m_live[size_t(qBound(0, k, 3))]; }
    const QByteArray &AnalogA() const { return m_analog[0]; }
    const QByteArray &AnalogB() const { return m_analog[1]; }
    int MemoryPointer(int k) const { return m_pointers[size_t(qBound(0, k, 2))]; }
    int BatteryByte() const { return m_batteryByte; }
    int BatteryWord() const { return m_batteryWord; }
    int PortByte() const { return m_port; }
    qint64 DisplayAddress() const { return m_displayAddress; }
    int LogSettingsWord() const { return m_logWord; }
    bool LogSettingsBit0() const { return m_logBit0; }
    bool LogSettingsBit1() const { return m_logBit1; }
    QDateTime LogStartTime() const { return m_logStart; }
    bool LogClearing() const { return m_logClearing; }
    int ProgramMode() const { return m_programMode; }
    CInstrumentIdentity Identity() const;
    QString Title() const { return m_title; }

    // ---- progress and notice windows ----
    CTransferProgress &TransferProgress() { return m_transferProgress; } // "Uploading" / "Downloading"
    CTransferProgress &ClearProgress() { return m_clearProgress; }       // "Clearing Log"
    CTransferProgress &LogProgress() { return m_logProgress; }           // "Uploading Log"
    CNoticeWindow &Notice() { return m_notice; }
    bool AnyProgressOpen() const;
    void CloseAllProgress();

    // ---- request operations ----
    void ReadWords(quint32 word, int words, int priority = 0);
    void WriteWords(quint32 word, const QByteArray &data);
    void ReadRam(int address, int count);
    void WriteRam(int address, const QByteArray &data);
    void ReadClock();
    void WriteClock();
    void ReadTimeKeeperSettings();
    void WriteTimeKeeperSettings();
    void ReadStatusWords();
    void WriteStatusWords();
    void ReadConfigurationA();
    void WriteConfigurationA();
    void ReadConfigurationB();
    void WriteConfigurationB();
    void ReadRangeIndexByte();
    void QueryProgramMode();
    void SetProgramMode(int bit);
    void EndProgramming();
    void StartProgramming();
    void EraseSector(quint32 word);
    void ReadLiveBlock(int k);
    void ResetPeaks();
    void ResetStelTwa();
    void ReadLogSettings();
    void ReadLogStatus();
    void ReadAnalogA();
    void ReadAnalogB();
    void ReadMemoryPointer(int k);
    void ReadBattery();
    void ReadPort();
    void ReadDisplayAddress();
    void SendKeys(quint8 keys);
    void ReadToxicTableCount();
    void ReadToxicRecord(int record);
    void LogNext();
    void LogRepeat();
    void LogUploadStart();
    // A board-test record (types 240 to 243) with its data bytes.
    void SendBoardTest(int type, const QByteArray &data);

    // ---- transfers ----
    void UploadAll();
    void DownloadAll();
    void ReadIdEntries();
    // The TimeKeeper settings and the ID entries are read again when the
    // next toxic-table count arrives, as after an upload: for a view that
    // opens on whatever the document holds.
    void MarkSettingsDue();
    void WriteIdEntries();
    void PollInstrument();
    void StartLogClear();
    void StartRecovery();
    // The main frame's idle check: notice 10001 when the link has nothing to do.
    void IdleCheck();
    // Start-up marks the ID entries wanted once the frame is set up; a
    // deferred read then runs.
    void SetIdEntriesWanted(bool wanted);
    // Drops everything queued and closes the progress windows.
    void ClearQueues();

    // ---- options file (COptionsFile) ----
    // False with *error naming the file when it cannot be written; the path
    // is remembered when the save succeeds.
    bool SaveOptions(const QString &path, QString *error = nullptr);
    // False with *error when the file cannot be read, and nothing changes.
    // *warnings lists values that could not be stored as the file gives them.
    bool LoadOptions(const QString &path, QString *error = nullptr, QStringList *warnings = nullptr);
    QString OptionsPath() const { return m_optionsPath; }

    // Views may clear these while handling 10002 and 10005 to take the
    // notice or the reconnection into their own hands.
    void ClearErrorFlag() { m_errorFlag = false; }
    void ClearReconnectFlag() { m_reconnectFlag = false; }

    // Tells every view.
    void UpdateAllViews(int code, const CReplyNotice &notice = {});

    void OnLinkReply(int code, int type, quint32 address, int count, const quint8 *data) override;

signals:
    void Updated(int code, const CReplyNotice &notice);
    // A line for the status bar ("Programming 8000", "Recovery Done").
    void StatusLine(const QString &text);
    void TitleChanged(const QString &title);

private:
    void Queue(int type, quint32 address, const QByteArray &data = {}, int priority = 0);
    void OnRecord(int type, quint32 address, const QByteArray &data);
    void OnCharacter(int code, int type, quint32 address, const QByteArray &data);
    void OnTimeout();
    void AfterAnswer();
    void StoreIdEntry(int index, const QByteArray &text);
    void AskReconnect();

    CClock &m_clock;
    IUserPrompt *m_prompt;
    std::unique_ptr<CInstrumentLink> m_link;
    CWordImage m_words;
    CSettingsImage m_settings;
    QByteArray m_ram;
    std::array<QByteArray, 4> m_live;
    std::array<QByteArray, 2> m_analog;
    std::array<int, 3> m_pointers{};
    int m_batteryByte = 0;
    int m_batteryWord = 0;
    int m_port = 0;
    qint64 m_displayAddress = -1;
    int m_logWord = 0;
    bool m_logBit0 = false;
    bool m_logBit1 = false;
    QDateTime m_logStart;
    bool m_logClearing = false;
    int m_programMode = 0;
    QString m_title;
    QString m_optionsPath;

    bool m_followTimeKeeper = false;
    bool m_followIdEntries = false;
    bool m_idWanted = false;
    bool m_idDeferred = false;
    int m_timeoutsInRow = 0;
    bool m_errorFlag = false;
    bool m_reconnectFlag = false;
    bool m_askPending = false;

    CTransferProgress m_transferProgress;
    CTransferProgress m_clearProgress;
    CTransferProgress m_logProgress;
    CNoticeWindow m_notice;
};
