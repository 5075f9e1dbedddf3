#include "sdr/FmStereoSynth.h"

#include <cmath>
#include <numbers>

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr double kDeviationHz = 75'000;
constexpr double kPilotHz = 19'000;

}  // namespace

CFmStereoSynth::CFmStereoSynth(double dSampleRate, std::vector<SStation> stations,
                               double dNoiseLevel, uint32_t nSeed)
    : m_dRate(dSampleRate),
      m_stations(std::move(stations)),
      m_state(m_stations.size()),
      m_dNoise(dNoiseLevel),
      m_random(nSeed) {}

double CFmStereoSynth::Tones(const std::vector<STone>& tones, double dSeconds) {
    double dSum = 0;
    for (const STone& tone : tones) {
        dSum += tone.dAmplitude * std::sin(kTwoPi * tone.dHz * dSeconds);
    }
    return dSum;
}

void CFmStereoSynth::Generate(std::vector<std::complex<float>>& iq, size_t nSamples) {
    iq.assign(nSamples, {0.0f, 0.0f});
    for (size_t nStation = 0; nStation < m_stations.size(); ++nStation) {
        const SStation& station = m_stations[nStation];
        double& dPhase = m_state[nStation].dCarrierPhase;
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
