#pragma once
// The pattern authentication server's answer to a verification request: the shared values of
// PatternAnswerFile only.
#include "PatternAnswerFile.h"

class PaslogiAuthFile : public PatternAnswerFile {
public:
    // Success code of the verification.
    static constexpr long CODE_VERIFIED = 21040101;

    static PaslogiAuthFile &GetInstance();
    PaslogiAuthFile();
};
