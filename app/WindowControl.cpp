#include "app/WindowControl.h"

#include <QAbstractButton>

#include "app/RadioDlg.h"

CRadioCore& CWindowControl::Core() {
    return m_window.Core();
}

CRecorder& CWindowControl::Recorder() {
    return m_window.Recorder();
}

void CWindowControl::Click(int nButton) {
    if (auto* pButton = m_window.GetDlgItemAs<QAbstractButton>(nButton)) {
        pButton->click();
    }
}

void CWindowControl::Recall(const PresetEntry& entry) {
    m_window.Recall(entry);
}

void CWindowControl::SetBand(int nBand) {
    Click(nBand == CReceiver::BAND_AM ? CRadioDlg::IDC_AM : CRadioDlg::IDC_FM);
}

void CWindowControl::Tune(unsigned nFrequency) {
    m_window.TuneTo(nFrequency);
}

void CWindowControl::Seek(int nDirection) {
    Click(nDirection == CReceiver::SEEK_UP ? CRadioDlg::IDC_SEEK_UP : CRadioDlg::IDC_SEEK_DOWN);
}

bool CWindowControl::StartRecording() {
    if (!m_window.Recorder().IsRecording()) {
        m_window.ToggleRecording();
    }
    return m_window.Recorder().IsRecording();
}

void CWindowControl::StopRecording() {
    if (m_window.Recorder().IsRecording()) {
        m_window.ToggleRecording();
    }
}

void CWindowControl::Raise() {
    m_window.ShowFromTray();
}
