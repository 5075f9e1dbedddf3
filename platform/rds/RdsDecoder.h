#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/rds/RdsBlock.h"

// Turns a stream of RDS blocks into what a listener sees of the station: its
// programme identification, programme type, name (PS) and radio text (RT),
// in UTF-8.
//
// Nothing partial is ever shown as final: a block with an error drops its
// group, the PI counts once two groups in a row agree, and a name or a text
// is taken only when each of its segments arrived twice alike since any of
// them last changed. Until then the last final value stays. A new PI (another
// station) clears them.
//
// A value; one thread at a time.
class CRdsDecoder {
public:
    enum EField : unsigned { kPi = 1, kPty = 2, kStation = 4, kRadioText = 8 };

    // The fields whose final value changed with this block (EField bits).
    unsigned Add(const SRdsBlock& block);
    // A new tune: everything known is forgotten.
    void Reset();

    std::optional<uint16_t> Pi() const { return m_pi; }
    // 0..31; nullopt until it agreed.
    std::optional<int> Pty() const { return m_pty; }
    // Without the blanks that pad it; empty until one is final.
    const std::string& Station() const { return m_strStation; }
    const std::string& RadioText() const { return m_strRadioText; }
    // Whole groups taken, and groups dropped for a bad or a missing block.
    uint64_t Groups() const { return m_nGroups; }
    uint64_t DroppedGroups() const { return m_nDropped; }

private:
    // Segments of a text that must each arrive twice alike.
    template <size_t Segments, size_t Width>
    struct SAgreedText {
        std::array<std::array<uint8_t, Width>, Segments> chars{};
        std::array<uint8_t, Segments> seen{};  // 0 unknown, 1 once, 2 agreed
        void Clear() { seen.fill(0); }
        // True when the segment's value changed.
        bool Take(size_t nSegment, const std::array<uint8_t, Width>& value);
    };

    unsigned TakeGroup();
    unsigned TakePi(uint16_t nPi);
    unsigned TakeStationName();
    unsigned TakeRadioText();
    unsigned ClearStation();
    void DropGroup();

    std::array<uint16_t, 4> m_words{};
    int m_nExpected = 0;  // the next block of the group: 0 A, 1 B, 2 C or C', 3 D
    bool m_bVersionB = false;

    std::optional<uint16_t> m_pi;
    std::optional<uint16_t> m_candidatePi;
    std::optional<int> m_pty;
    std::optional<int> m_candidatePty;

    SAgreedText<4, 2> m_name;
    std::string m_strStation;

    SAgreedText<16, 4> m_text;
    std::optional<bool> m_textFlag;  // the A/B flag: a toggle starts a new text
    bool m_bTextVersionB = false;
    std::string m_strRadioText;

    uint64_t m_nGroups = 0;
    uint64_t m_nDropped = 0;
};
