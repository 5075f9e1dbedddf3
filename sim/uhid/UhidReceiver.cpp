#include "sim/uhid/UhidReceiver.h"

#include <fcntl.h>
#include <linux/input.h>
#include <linux/uhid.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/trace/Trace.h"
#include "sim/receiver/SimReceiver.h"

namespace {

constexpr const char* kTag = "uhid";
constexpr const char* kUhidNode = "/dev/uhid";
constexpr size_t kMaxAnswer = 64;

bool WriteEvent(int fd, const uhid_event& event) {
    ssize_t n;
    do {
        n = ::write(fd, &event, sizeof(event));
    } while (n < 0 && errno == EINTR);
    if (n != static_cast<ssize_t>(sizeof(event))) {
        KestrelTrace(kTag, "writing uhid event %u failed: %s", event.type,
                     n < 0 ? std::strerror(errno) : "short write");
        return false;
    }
    return true;
}

// The receiver has no feature reports: a request for one is refused at once,
// so the kernel does not wait out its time-out.
void Refuse(int fd, const uhid_event& request) {
    uhid_event reply{};
    if (request.type == UHID_GET_REPORT) {
        reply.type = UHID_GET_REPORT_REPLY;
        reply.u.get_report_reply.id = request.u.get_report.id;
        reply.u.get_report_reply.err = EIO;
    } else {
        reply.type = UHID_SET_REPORT_REPLY;
        reply.u.set_report_reply.id = request.u.set_report.id;
        reply.u.set_report_reply.err = EIO;
    }
    WriteEvent(fd, reply);
}

// The event is packed: its fields are reached by address, not by reference.
void CopyName(void* pTarget, size_t nSize, const std::string& text) {
    const size_t n = std::min(text.size(), nSize - 1);
    std::memcpy(pTarget, text.data(), n);
    static_cast<char*>(pTarget)[n] = '\0';
}

}  // namespace

const std::vector<uint8_t>& CUhidReceiver::ReportDescriptor() {
    // Usage Page (Vendor 0xFF00), Usage 1, Collection (Application);
    // Logical 0..255, Report Size 8, Report Count 8, Input (Data, Var, Abs);
    // Report Count 8, Output (Data, Var, Abs); End Collection.
    static const std::vector<uint8_t> descriptor = {
        0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08,
        0x95, 0x08, 0x09, 0x01, 0x81, 0x02, 0x95, 0x08, 0x09, 0x01, 0x91, 0x02, 0xC0};
    return descriptor;
}

CUhidReceiver::CUhidReceiver(std::shared_ptr<CSimReceiver> pReceiver)
    : CUhidReceiver(std::move(pReceiver), SIdentity{}) {}

CUhidReceiver::CUhidReceiver(std::shared_ptr<CSimReceiver> pReceiver, SIdentity identity)
    : m_pReceiver(std::move(pReceiver)), m_identity(std::move(identity)) {}

CUhidReceiver::~CUhidReceiver() {
    Unplug();
}

void CUhidReceiver::FailPlug(const std::string& strWhat) {
    m_strError = strWhat + ": " + std::strerror(errno);
    KestrelTrace(kTag, "cannot plug in the receiver: %s", m_strError.c_str());
    m_uhid.Reset();
    m_link.Reset();
}

bool CUhidReceiver::Plug() {
    if (m_bPlugged) {
        return true;
    }
    m_strError.clear();
    m_uhid.Reset(::open(kUhidNode, O_RDWR | O_CLOEXEC));
    if (!m_uhid.IsValid()) {
        FailPlug(std::string("open ") + kUhidNode);
        return false;
    }
    int pair[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
        FailPlug("socketpair");
        return false;
    }
    m_link.Reset(pair[0]);
    CUniqueFd deviceEnd(pair[1]);

    const std::vector<uint8_t>& descriptor = ReportDescriptor();
    uhid_event create{};
    create.type = UHID_CREATE2;
    CopyName(create.u.create2.name, sizeof(create.u.create2.name), m_identity.strName);
    CopyName(create.u.create2.phys, sizeof(create.u.create2.phys), "kestrel-uhid");
    create.u.create2.rd_size = static_cast<__u16>(descriptor.size());
    create.u.create2.bus = BUS_USB;
    create.u.create2.vendor = m_identity.nVendorID;
    create.u.create2.product = m_identity.nProductID;
    create.u.create2.version = 0x0100;
    std::copy(descriptor.begin(), descriptor.end(), create.u.create2.rd_data);
    if (!WriteEvent(m_uhid.Get(), create)) {
        FailPlug("UHID_CREATE2");
        return false;
    }

    m_pReceiver->Connect(std::move(deviceEnd));
    const int nUhid = m_uhid.Get();
    const int nLink = m_link.Get();
    if (!m_loop.Start([this, nUhid, nLink](CPollLoop& loop) { Serve(loop, nUhid, nLink); })) {
        FailPlug("the serving thread");
        return false;
    }
    m_bPlugged = true;
    KestrelTrace(kTag, "plugged in %04X:%04X", m_identity.nVendorID, m_identity.nProductID);
    return true;
}

void CUhidReceiver::Unplug() {
    if (!m_bPlugged) {
        return;
    }
    m_loop.Stop();
    uhid_event destroy{};
    destroy.type = UHID_DESTROY;
    WriteEvent(m_uhid.Get(), destroy);
    m_uhid.Reset();
    m_link.Reset();  // the simulated receiver sees its connection end
    m_bPlugged = false;
    KestrelTrace(kTag, "unplugged %04X:%04X", m_identity.nVendorID, m_identity.nProductID);
}

// Output reports reach the simulated receiver as written (byte 0 = report id);
// its answers carry the id in byte 0 too, which a device without report ids
// leaves out of its input reports.
void CUhidReceiver::Serve(CPollLoop& loop, int nUhid, int nLink) {
    pollfd fds[2] = {{nUhid, POLLIN, 0}, {nLink, POLLIN, 0}};
    for (;;) {
        const CPollLoop::EWake wake = loop.Wait(fds);
        if (wake == CPollLoop::EWake::Stopped) {
            return;
        }
        if (wake == CPollLoop::EWake::Failed) {
            KestrelTrace(kTag, "poll failed: %s", std::strerror(errno));
            return;
        }
        if (fds[0].revents != 0) {
            uhid_event event{};
            const ssize_t n = ::read(nUhid, &event, sizeof(event));
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
                continue;
            }
            if (n <= 0) {
                KestrelTrace(kTag, "reading /dev/uhid failed: %s",
                             n < 0 ? std::strerror(errno) : "end of file");
                return;
            }
            if (event.type == UHID_OUTPUT) {
                ::send(nLink, event.u.output.data, event.u.output.size,
                       MSG_DONTWAIT | MSG_NOSIGNAL);
            } else if (event.type == UHID_GET_REPORT || event.type == UHID_SET_REPORT) {
                Refuse(nUhid, event);
            }
        }
        if (fds[1].revents != 0) {
            uint8_t answer[kMaxAnswer];
            const ssize_t n = ::recv(nLink, answer, sizeof(answer), MSG_DONTWAIT);
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
                continue;
            }
            if (n <= 0) {
                KestrelTrace(kTag, "the simulated receiver went away");
                return;
            }
            if (n < 2) {
                continue;  // an id byte and nothing else
            }
            uhid_event input{};
            input.type = UHID_INPUT2;
            input.u.input2.size = static_cast<__u16>(n - 1);
            std::copy(answer + 1, answer + n, input.u.input2.data);
            WriteEvent(nUhid, input);
        }
    }
}
