#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/rds/RdsBlock.h"

// What a station sends over RDS, as the blocks of its groups: the name in
// four 0A groups, the radio text in 2A groups (ended by a carriage return
// when shorter than 64 characters). For the simulated receivers and the
// tests; a real station's stream has more groups between them.
class CRdsEncoder {
public:
    struct SStation {
        uint16_t nPi = 0;
        int nPty = 0;
        std::string strName;  // UTF-8; cut or padded to 8 RDS characters
        std::string strText;  // UTF-8; cut to 64 RDS characters; empty sends none
        bool bTextFlag = false;
    };

    explicit CRdsEncoder(SStation station);

    const SStation& Station() const { return m_station; }
    // One round of the station's groups, four blocks each.
    std::vector<SRdsBlock> Cycle() const;

private:
    void AddGroup(std::vector<SRdsBlock>& blocks, uint16_t nB, uint16_t nC, uint16_t nD) const;

    SStation m_station;
    std::string m_nameCodes;
    std::string m_textCodes;
};
