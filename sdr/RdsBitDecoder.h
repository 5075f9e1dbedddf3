#pragma once

#include <cstdint>
#include <vector>

#include "platform/rds/RdsBlock.h"

// The RDS bit stream into blocks: it finds the block boundaries by two
// offset words the right distance apart, then takes every 26 bits as the
// next block in the group's order, mends what can be mended, and gives the
// rest as errors; too many errors and it looks for the boundaries again.
class CRdsBitDecoder {
public:
    // One data bit (after differential decoding); appends the block it ends.
    void Add(bool bBit, std::vector<SRdsBlock>& blocks);
    bool Synced() const { return m_bSynced; }
    void Reset();

private:
    void Search(std::vector<SRdsBlock>& blocks);
    void Take(std::vector<SRdsBlock>& blocks);

    uint32_t m_nBits = 0;   // the last 26 bits
    uint64_t m_nCount = 0;  // bits taken
    bool m_bSynced = false;
    // While searching: where the last offset word was seen, and which.
    uint64_t m_nLastSeenAt = 0;
    int m_nLastSeenIndex = -1;  // 0 A, 1 B, 2 C or C', 3 D
    // While synced.
    int m_nBitsInBlock = 0;
    int m_nNextIndex = 0;
    int m_nRecentBad = 0;  // of the last kWindow blocks
    int m_nInWindow = 0;
};
