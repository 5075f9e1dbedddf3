#include "platform/sdr/FmStereoSynth.h"

#include <cmath>
#include <numbers>

#include "platform/rds/RdsBlockCode.h"

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr double kDeviationHz = 75'000;
constexpr double kPilotHz = 19'000;
constexpr double kRdsBitRate = 1187.5;

}  // namespace

CFmStereoSynth::CFmStereoSynth(double dSampleRate, std::vector<SStation> stations,
                               double dNoiseLevel, uint32_t nSeed)
    : m_dRate(dSampleRate),
      m_stations(std::move(stations)),
      m_state(m_stations.size()),
      m_dNoise(dNoiseLevel),
      m_random(nSeed) {
    for (size_t n = 0; n < m_stations.size(); ++n) {
        for (const SRdsBlock& block : m_stations[n].rds) {
            const uint32_t nBits = CRdsBlockCode::Encode(block.nWord, block.nId);
            for (int nBit = CRdsBlockCode::kBits - 1; nBit >= 0; --nBit) {
                m_state[n].rdsBits.push_back(static_cast<uint8_t>((nBits >> nBit) & 1u));
            }
        }
    }
}

double CFmStereoSynth::RdsSignal(SState& state, double dSeconds) {
    if (state.rdsBits.empty()) {
        return 0;
    }
    const double dBits = dSeconds * kRdsBitRate;
    const auto nBit = static_cast<uint64_t>(dBits);
    if (nBit != state.nRdsBit) {
        state.nRdsBit = nBit;
        state.bRdsLevel ^= state.rdsBits[nBit % state.rdsBits.size()] != 0;
    }
    const double dSymbol = std::sin(kTwoPi * (dBits - static_cast<double>(nBit)));
    return state.bRdsLevel ? dSymbol : -dSymbol;
}

double CFmStereoSynth::Tones(const std::vector<STone>& tones, double dSeconds) {
    double dSum = 0;
    for (const STone& tone : tones) {
        dSum += tone.dAmplitude * std::sin(kTwoPi * tone.dHz * dSeconds);
    }
    return dSum;
}

void CFmStereoSynth::GenerateAm(const SStation& station, double& dPhase,
                                std::vector<std::complex<float>>& iq) const {
    for (size_t n = 0; n < iq.size(); ++n) {
        const double dSeconds = static_cast<double>(m_nSample + n) / m_dRate;
        const double dEnvelope = station.dLevel * (1.0 + Tones(station.left, dSeconds));
        dPhase = std::remainder(dPhase + kTwoPi * station.dOffsetHz / m_dRate, kTwoPi);
        iq[n] += std::polar(static_cast<float>(dEnvelope), static_cast<float>(dPhase));
    }
}

void CFmStereoSynth::Generate(std::vector<std::complex<float>>& iq, size_t nSamples) {
    iq.assign(nSamples, {0.0f, 0.0f});
    for (size_t nStation = 0; nStation < m_stations.size(); ++nStation) {
        const SStation& station = m_stations[nStation];
        SState& state = m_state[nStation];
        double& dPhase = state.dCarrierPhase;
        if (station.bAm) {
            GenerateAm(station, dPhase, iq);
            continue;
        }
        const double dProgramme = station.bPilot ? 1.0 - station.dPilotShare : 0.9;
        for (size_t n = 0; n < nSamples; ++n) {
            const double dSeconds = static_cast<double>(m_nSample + n) / m_dRate;
            const double dLeft = Tones(station.left, dSeconds);
            const double dRight = Tones(station.right, dSeconds);
            const double dPilotPhase = kTwoPi * kPilotHz * dSeconds;
            double dMpx = dProgramme * (dLeft + dRight) / 2;
            if (station.bPilot) {
                dMpx += dProgramme * (dLeft - dRight) / 2 * std::sin(2 * dPilotPhase) +
                        station.dPilotShare * std::sin(dPilotPhase);
            }
            if (!state.rdsBits.empty()) {
                dMpx += station.dRdsShare * RdsSignal(state, dSeconds) * std::sin(3 * dPilotPhase);
            }
            dPhase += kTwoPi * (station.dOffsetHz + kDeviationHz * dMpx) / m_dRate;
            dPhase = std::remainder(dPhase, kTwoPi);
            iq[n] += std::polar(static_cast<float>(station.dLevel), static_cast<float>(dPhase));
        }
    }
    if (m_dNoise > 0) {
        // The noise's power splits between I and Q.
        const float fSigma = static_cast<float>(m_dNoise / std::sqrt(2.0));
        for (std::complex<float>& sample : iq) {
            sample += std::complex<float>(fSigma * m_gauss(m_random), fSigma * m_gauss(m_random));
        }
    }
    m_nSample += nSamples;
}
