#include "app/HeadlessRun.h"

#include "platform/hid/DeviceNotices.h"
#include "platform/profile/Profile.h"
#include "platform/window/WindowMessages.h"

namespace {

// The recording timer of the window: the end of a scheduled recording is
// checked as often.
constexpr int kRecordTimerMs = 600;

}  // namespace

CHeadlessRun::CHeadlessRun(const SRadioServices& services, CProfile& profile, QObject* pParent)
    : QObject(pParent),
      m_services(services),
      m_target([this](uint32_t message, uintptr_t wParam, intptr_t) {
          return OnMessage(message, wParam);
      }),
      m_masterMute(services.mixer),
      m_core(services, profile),
      m_recorder(m_core, *this) {
    m_recordTimer.setInterval(kRecordTimerMs);
    connect(&m_recordTimer, &QTimer::timeout, this, [this] {
        if (!m_recorder.Tick()) {
            FinishWhenIdle();
        }
    });
}

// A recording still running when the run is ended (a signal) is completed
// and catalogued.
CHeadlessRun::~CHeadlessRun() {
    Stop();
    m_services.deviceNotices.Stop();
    m_target.Close();
}

void CHeadlessRun::Stop() {
    m_recorder.Stop(CRecorder::kStoppedByClosing);
}

bool CHeadlessRun::Start(int nTask) {
    Open();
    StartTask(nTask);
    return m_recorder.IsRecording();
}

void CHeadlessRun::Open(unsigned nParts) {
    m_core.Init(&m_target, nParts);
    m_core.OpenRadio();
    m_masterMute.SelectLine(&m_target, 1, "");
    m_services.deviceNotices.Start(&m_target);
}

void CHeadlessRun::StartTask(int nTask) {
    m_recorder.StartTask(nTask);
    if (m_recorder.IsRecording()) {
        m_recordTimer.start();
    }
}

intptr_t CHeadlessRun::OnMessage(uint32_t message, uintptr_t wParam) {
    switch (message) {
        case WM_START_TASK:
            StartTask(static_cast<int>(wParam));
            FinishWhenIdle();
            break;
        case WM_GRAPH_NOTIFY:
            m_recorder.OnGraphNotify();
            break;
        case WM_DEVICECHANGE:
            m_recorder.OnDeviceChange(m_core.CheckDevice() != 0);
            break;
        case WM_DEVICE_REPORT:
            if (wParam == DEVICE_REPORT_READING) {
                m_core.NotifyChanged();  // the station's name for the outside
            }
            break;
        default:
            break;  // reports of the device link, mixer notices: nothing to show
    }
    return 0;
}

void CHeadlessRun::RecordingStopped() {
    m_recordTimer.stop();
    FinishWhenIdle();
}

void CHeadlessRun::MuteOutput() {
    m_masterMute.SetMute(1);
}

void CHeadlessRun::TaskEnded(const STaskOutcome& outcome) {
    switch (outcome.eKind) {
        case STaskOutcome::EKind::Recorded:
        case STaskOutcome::EKind::Partial:
            m_nExitCode = 0;
            break;
        case STaskOutcome::EKind::Missed:
            m_nExitCode = 2;
            break;
        case STaskOutcome::EKind::Failed:
            m_nExitCode = 1;
            break;
    }
}

void CHeadlessRun::FinishWhenIdle() {
    QTimer::singleShot(0, this, [this] {
        if (!m_recorder.IsRecording()) {
            Q_EMIT Finished();
        }
    });
}

CSingleInstance::Handler CHeadlessRun::LaterStarts(CHeadlessRun* const* ppRun) {
    return [ppRun](int nRequest) {
        CHeadlessRun* pRun = *ppRun;
        if (!pRun) {
            return true;
        }
        if (nRequest < 0) {
            return false;
        }
        pRun->Core().MainWindow()->Post(WM_START_TASK, static_cast<uintptr_t>(nRequest), 0);
        return true;
    };
}
