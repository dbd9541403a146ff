#include "PaslogiAuthFile.h"

PaslogiAuthFile &PaslogiAuthFile::GetInstance()
{
    static PaslogiAuthFile instance;
    return instance;
}

PaslogiAuthFile::PaslogiAuthFile()
    : PatternAnswerFile({L"SettingLoad() Failed to XML load", L"There is no 'RandTable Information'."})
{
}
