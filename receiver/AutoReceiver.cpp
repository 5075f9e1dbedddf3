#include "receiver/AutoReceiver.h"

#include <stdexcept>

#include "receiver/ReceiverFactory.h"

CAutoReceiver::CAutoReceiver(std::vector<CReceiverFactory*> factories, CProfile& profile,
                             CClock& clock)
    : m_factories(std::move(factories)), m_profile(profile), m_clock(clock) {
    if (m_factories.empty()) {
        throw std::invalid_argument("a receiver needs at least one kind");
    }
    for (CReceiverFactory* pFactory : m_factories) {
        m_receivers.push_back(pFactory->Create(m_profile, m_clock));
    }
    m_pActive = m_receivers.front().get();
    // Start as the kind that is plugged in, so that where its audio comes
    // from is known before it opens.
    for (size_t nKind = 0; nKind < m_receivers.size(); ++nKind) {
        if (m_receivers[nKind]->CountDevices() > 0) {
            m_pActive = m_receivers[nKind].get();
            m_nActive = nKind;
            return;
        }
    }
}

CAutoReceiver::~CAutoReceiver() {
    for (const std::unique_ptr<CReceiver>& pReceiver : m_receivers) {
        pReceiver->JoinSeek();
    }
}

void CAutoReceiver::Become(size_t nKind) {
    if (nKind == m_nActive) {
        return;
    }
    const int nBand = m_pActive->Band();
    const int nMute = m_pActive->Mute();
    m_pActive->JoinSeek();
    m_receivers[nKind] = m_factories[nKind]->Create(m_profile, m_clock);
    m_pActive = m_receivers[nKind].get();
    m_nActive = nKind;
    m_pActive->SetDisplay(m_pDisplay);
    m_pActive->SetBand(nBand);
    m_pActive->LoadBandPlan();
    if (nMute) {
        m_pActive->SetMute(nMute);
    }
}

int CAutoReceiver::CountDevices() {
    if (m_bOpen) {
        return m_pActive->CountDevices();
    }
    for (size_t nKind = 0; nKind < m_receivers.size(); ++nKind) {
        if (const int nCount = m_receivers[nKind]->CountDevices(); nCount > 0) {
            Become(nKind);
            return nCount;
        }
    }
    return 0;
}

std::string CAutoReceiver::Refusal() const {
    if (m_bOpen) {
        return {};
    }
    std::string strRefusal;
    for (const std::unique_ptr<CReceiver>& pReceiver : m_receivers) {
        const std::string strKind = pReceiver->Refusal();
        if (!strKind.empty()) {
            strRefusal += (strRefusal.empty() ? "" : " ") + strKind;
        }
    }
    return strRefusal;
}

bool CAutoReceiver::Open(CMessageTarget* pWindow) {
    m_bOpen = m_pActive->Open(pWindow);
    return m_bOpen;
}

void CAutoReceiver::Close() {
    m_bOpen = false;
    m_pActive->Close();
}

void CAutoReceiver::SetDisplay(CTextSink* pDisplay) {
    m_pDisplay = pDisplay;
    m_pActive->SetDisplay(pDisplay);
}
