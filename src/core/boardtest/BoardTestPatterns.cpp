// Memory test patterns.
#include "BoardTestPatterns.h"

QByteArray CBoardTestPatterns::Make(Kind kind, int size, unsigned seed)
{
    QByteArray bytes(size, '\0');
    Generator generator(seed);
    for (int i = 0; i < size; ++i) {
        const quint8 one = quint8(1u << (i % 8));
        switch (kind) {
        case WalkingOnes:
            bytes[i] = char(one);
            break;
        case WalkingZeroes:
            bytes[i] = char(quint8(~one));
            break;
        case Random:
            bytes[i] = char(quint8(generator.Next()));
            break;
        }
    }
    return bytes;
}

int CBoardTestPatterns::NextRamAddress(int address)
{
    address += RamBlock;
    while ((address & 0xFF) < 32)
        address += RamBlock;
    return address;
}

QList<int> CBoardTestPatterns::RamWalk()
{
    QList<int> walk;
    for (int a = RamFirst; a <= RamLast; a = NextRamAddress(a))
        walk.append(a);
    return walk;
}
