#pragma once
// The stand-in's journal: one line per call in C:\nolvex-sim\sevenzip\journal.txt, for the tests.
#include <string>

class SimJournal {
public:
    static void Append(const std::string &strLine);
};
