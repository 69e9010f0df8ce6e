// How the simulator behaves on the line: pacing, faults and the seed that
// makes both repeatable.
#pragma once

#include <QDateTime>
#include <QtGlobal>
#include <functional>

struct SimOptions
{
    // 0: characters pass at once; N: paced at N / 10 characters a second in
    // each direction, as an 8N1 line at N baud carries them.
    int baud = 0;
    // With pacing: every character leaves at its own time, the gaps under a
    // couple of milliseconds waited out with a short sleep instead of the
    // next millisecond timer tick. The sleep holds up the thread's event
    // loop, so only a simulator in a process of its own sets it.
    bool precisePacing = false;
    // Chance that a request is lost on its way: the instrument never sees
    // it, does nothing and sends nothing back.
    double dropProbability = 0.0;
    // Chance that one character of a reply arrives with a bit flipped.
    double garbleProbability = 0.0;
    // Chance that a reply is lost on its way back after the instrument has
    // acted on the request (written, erased, stepped its log on).
    double replyDropProbability = 0.0;
    // Chance that one character of a request arrives with a bit flipped: a
    // record the instrument cannot read is answered "*"; a one-character
    // request, or a record whose ":" was hit, becomes line noise the
    // instrument ignores.
    double requestGarbleProbability = 0.0;
    // 0: serves for ever; N: the instrument answers N requests and is then
    // gone (Ended() is emitted once, every later request goes unanswered), as
    // a unit switched off or unplugged in the middle of an operation.
    quint64 endAfterRequests = 0;
    // Time the instrument takes before it starts to answer.
    int latencyMs = 0;
    // Seeds the fault generator, the sensors' wandering and a generated log.
    quint32 seed = 1;
    // 0: the instrument holds the short demonstration log; N: a log of N
    // records made from the seed (SimLogGenerator.h). Read when the
    // simulator is made.
    int logRecords = 0;
    // With a generated log: the session before the newest runs on until this
    // many seconds (less its last interval) after the newest started, the
    // instrument's clock having been set back between them (0: sessions
    // follow each other).
    int logOverlapSeconds = 0;
    // 0: the built-in serial number; otherwise the serial number the
    // identity words hold, so that several simulators make a fleet.
    quint32 serialNumber = 0;
    // Where the instrument's time comes from; the system clock when empty.
    std::function<QDateTime()> now;
};

// What has gone through the simulator, for tests and benchmarks.
struct SimCounters
{
    quint64 requests = 0;           // requests cut out and given to the instrument
    quint64 dropped = 0;            // of those, lost before the instrument saw them
    quint64 garbled = 0;            // replies sent with a flipped bit
    quint64 droppedReplies = 0;     // replies lost after the instrument acted
    quint64 garbledRequests = 0;    // requests that arrived with a flipped bit
    quint64 charactersReceived = 0; // from the program, all front ends
    quint64 charactersSent = 0;     // to the program, all front ends
    quint64 datagramsReceived = 0;
    quint64 datagramsSent = 0;
};
