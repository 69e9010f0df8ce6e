// The memory test patterns and the RAM address walk of the board test.
#pragma once

#include <QByteArray>
#include <QList>

class CBoardTestPatterns
{
public:
    enum Kind { WalkingOnes, WalkingZeroes, Random };

    static constexpr int RamBufferSize = 1024;
    static constexpr int RamFirst = 288;
    static constexpr int RamLast = 1023;
    static constexpr int RamBlock = 16;
    static constexpr unsigned RamSeed = 1999;
    static constexpr int TimeKeeperFirst = 8; // the settings bytes; 0..7 are the clock
    static constexpr int TimeKeeperBytes = 56;
    static constexpr unsigned TimeKeeperSeed = 2001;

    // size bytes of the pattern; byte i of walking ones is 1 << (i % 8), walking
    // zeroes its complement, random one generator call per byte.
    static QByteArray Make(Kind kind, int size, unsigned seed);
    static QByteArray Ram(Kind kind) { return Make(kind, RamBufferSize, RamSeed); }
    static QByteArray TimeKeeper(Kind kind) { return Make(kind, TimeKeeperBytes, TimeKeeperSeed); }

    // The block after address: 16 on, past the first 32 bytes of every
    // 256-byte page, which the firmware's stack and port images use.
    static int NextRamAddress(int address);
    // Every block start of the walk, RamFirst up to RamLast.
    static QList<int> RamWalk();

    // The generator the C standard gives as its example, so that a seed
    // gives the same bytes on every platform: 15-bit results.
    class Generator
    {
    public:
        explicit Generator(unsigned seed) : m_next(seed) {}
        int Next()
        {
            m_next = m_next * 1103515245u + 12345u;
            return int((m_next / 65536u) % 32768u);
        }

    private:
        unsigned m_next;
    };
};
