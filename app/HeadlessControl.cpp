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
    m_run.Core().SelectBand(nBand);
}

void CHeadlessControl::Tune(unsigned nFrequency) {
    m_run.Core().TuneTo(nFrequency);
}

void CHeadlessControl::Seek(int nDirection) {
    m_run.Core().StartSeek(nDirection);
}

bool CHeadlessControl::StartRecording() {
    return m_run.Recorder().Start();
}

void CHeadlessControl::StopRecording() {
    m_run.Recorder().Stop();
}
