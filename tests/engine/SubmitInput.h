// The arguments of one SMS-SUBMIT encoding as a record, for the tables of the codec's tests, the
// differential test and the fuzzer.
#pragma once

#include "engine/SMSEngine.h"

#include <string>

struct TSubmitInput {
    std::string SCA;
    bool SRR = false;
    int VPF = 0;
    bool RD = false;
    int MR = 0;
    std::string DA;
    bool Flash = false;
    int VPRelative = 0;
    SMSEngine::TDateTime VPAbsolute = 0;
    int VPTZ = 0;
    std::string UD;
};
