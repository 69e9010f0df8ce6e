// The program's own turnaround on the line: from reading the last character
// of a reply to writing the first of the next request, taken from the link's
// traffic as the program sees it (so the pseudo-terminal's own delay either
// way is not in it).
#pragma once

#include "link/LinkTransport.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QProcess>
#include <algorithm>
#include <cstdio>

class CTurnaround
{
public:
    explicit CTurnaround(CLinkTransport &link)
    {
        m_clock.start();
        m_connection = QObject::connect(&link, &CLinkTransport::Traffic, [this](bool outgoing, const QByteArray &bytes) {
            const qint64 now = m_clock.nsecsElapsed();
            if (!m_active) {
                m_lastIn = -1;
                m_lastOut = -1;
            } else if (!outgoing) {
                m_lastIn = now;
                if (m_lastOut >= 0) {
                    // The first reply character is read once its stop bit
                    // has passed, after the whole request's.
                    m_otherEndUs.append((now - m_lastOut) * 1e-3 - (m_outChars + 1) * CharacterUs);
                    m_lastOut = -1;
                }
            } else {
                if (m_lastIn >= 0)
                    m_gapsUs.append((now - m_lastIn) * 1e-3);
                m_lastIn = -1;
                m_lastOut = now;
                m_outChars = bytes.size();
            }
        });
    }
    ~CTurnaround() { QObject::disconnect(m_connection); }

    static constexpr double CharacterUs = 1e6 / 11520.0; // 115200 baud, 10 bits a character

    // Only while active are gaps counted (one meter per kind of transfer).
    void SetActive(bool active)
    {
        m_active = active;
        m_lastIn = -1;
        m_lastOut = -1;
    }

    // Forgets what came before (the opening exchanges).
    void Clear()
    {
        m_gapsUs.clear();
        m_otherEndUs.clear();
        m_lastIn = -1;
        m_lastOut = -1;
    }

    // "turnaround (N): median X us, 99th Y us, Z over 1 ms"
    // What an altavo-sim run with --turnaround printed as it stopped: the
    // same turnaround seen from the line, with both pseudo-terminal hops and
    // both processes' wake-ups in it. Stops the simulator.
    static void PrintLineSide(QProcess &sim, const char *indent = "  ")
    {
        sim.terminate();
        sim.waitForFinished(5000);
        for (const QByteArray &line : sim.readAllStandardError().split('\n')) {
            if (line.startsWith("turnaround: "))
                std::printf("%sas the line saw it (altavo-sim --turnaround), last reply character sent to next request read: %s\n",
                            indent, line.mid(12).constData());
        }
    }

    // The other end's share: from a request written to the first character
    // of its answer read, beyond the line time of the request and of that
    // character (the simulator's own turnaround and the pseudo-terminal's
    // delay both ways).
    void Print(const char *indent = "  ") const
    {
        Print(indent, "program turnaround, last character of a reply read to next request written", m_gapsUs);
        Print(indent, "other end, request written to first reply character read, beyond their line time", m_otherEndUs);
    }

private:
    static void Print(const char *indent, const char *what, QList<double> g)
    {
        if (g.isEmpty())
            return;
        std::sort(g.begin(), g.end());
        const qsizetype over = std::count_if(g.begin(), g.end(), [](double us) { return us > 1000.0; });
        std::printf("%s%s (%lld): median %.0f us, 99th %.0f us, %lld over 1 ms (max %.1f ms)\n", indent, what,
                    static_cast<long long>(g.size()), g[g.size() / 2], g[std::min(g.size() - 1, g.size() * 99 / 100)],
                    static_cast<long long>(over), g.last() / 1000.0);
    }

    QElapsedTimer m_clock;
    QMetaObject::Connection m_connection;
    QList<double> m_gapsUs;
    QList<double> m_otherEndUs;
    qint64 m_lastIn = -1;
    qint64 m_lastOut = -1;
    qsizetype m_outChars = 0;
    bool m_active = true;
};
