// The board-test limits file "PCBTest.ini": a minimum, a maximum and an
// optional setting per measurement, looked up by the measurement's name.
#pragma once

#include "platform/ProfileFile.h"

#include <QString>

struct BoardTestLimit
{
    double minimum = 0.0;
    double maximum = 0.0;
    double setting = 0.0; // what the prompt asks the operator to set, when it asks

    bool Within(double value) const { return minimum <= value && value <= maximum; }
};

class CBoardTestLimits
{
public:
    static constexpr char FileName[] = "PCBTest.ini";
    static constexpr char Section[] = "Main PCB Test";

    // The file beside the program.
    static QString DefaultPath();

    // A missing file reads as empty: every key then gives 0 and 0.
    void Load(const QString &path);
    QString Path() const { return m_path; }

    // The key's value; a missing key reads as "0 0".
    BoardTestLimit Lookup(const QString &key) const;

    // "min max setting": the first number, the number after the first
    // space, the number after the second space; a number that is not there
    // is 0.
    static BoardTestLimit Parse(const QString &value);

private:
    CProfileFile m_file;
    QString m_path;
};
