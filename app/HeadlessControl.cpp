#include "app/HeadlessControl.h"

#include "app/HeadlessRun.h"

CRadioCore& CHeadlessControl::Core() {
    return m_run.Core();
}

CRecorder& CHeadlessControl::Recorder() {
    return m_run.Recorder();
}

void CHeadlessControl::Recall(const PresetEntry& entry) {
    m_run.Core().Recall(entry);
}

void CHeadlessControl::SetBand(int nBand) {
    CRadioCore& core = m_run.Core();
    core.Tuner().CancelSeek();
    core.Tuner().SetBand(nBand);
    core.Settings().SetLastBand(nBand);
    core.SyncPreset();
}

void CHeadlessControl::Tune(unsigned nFrequency) {
    CTuner& tuner = m_run.Core().Tuner();
    tuner.CancelSeek();
    tuner.SetCurrentFrequency(tuner.Wrap(nFrequency));
    m_run.Core().SyncPreset();
}

void CHeadlessControl::Seek(int nDirection) {
    m_run.Core().Tuner().StartSeek(nDirection);
}

bool CHeadlessControl::StartRecording() {
    return m_run.Recorder().Start();
}

void CHeadlessControl::StopRecording() {
    m_run.Recorder().Stop();
}
