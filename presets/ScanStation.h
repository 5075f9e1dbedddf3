#pragma once

#include <string>

// One station a band scan found.
struct SScanStation {
    int nBand = 1;  // 1 FM, 0 AM
    unsigned nFrequency = 0;
    int nSignal = 0;  // 0..100
    bool bStereo = false;
    std::string strName;  // what it sends (RDS PS); empty without
};
