#pragma once

// What the simulated receiver is playing now, for a simulated capture source.
struct SSimProgramme {
    bool bMuted;
    bool bOnStation;
    int nStation;    // index, -1 between
    double dToneHz;  // a tone per station
    double dLevel;   // 0..1
};

// Contract: CurrentProgramme() may be called from any thread at any time.
class CSimProgrammeSource {
public:
    virtual ~CSimProgrammeSource() = default;
    virtual SSimProgramme CurrentProgramme() const = 0;
};
