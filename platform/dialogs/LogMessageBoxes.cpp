#include "platform/dialogs/LogMessageBoxes.h"

#include <syslog.h>

#include <string>

namespace {

int Priority(CMessageBoxes::EIcon icon) {
    switch (icon) {
        case CMessageBoxes::EIcon::Error:
            return LOG_ERR;
        case CMessageBoxes::EIcon::Warning:
            return LOG_WARNING;
        case CMessageBoxes::EIcon::Information:
            break;
    }
    return LOG_INFO;
}

// One line each: a text with line breaks would read as several messages.
std::string OneLine(std::string strText) {
    for (char& c : strText) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return strText;
}

}  // namespace

CLogMessageBoxes::CLogMessageBoxes(std::FILE* pStream) : m_pStream(pStream) {
    ::openlog("kestrel", LOG_PID, LOG_USER);
}

CLogMessageBoxes::~CLogMessageBoxes() {
    ::closelog();
}

void CLogMessageBoxes::Show(CMessageTarget*, const std::string& text, const std::string& caption,
                            EIcon icon) {
    const std::string strLine = OneLine(caption + ": " + text);
    std::fprintf(m_pStream, "kestrel: %s\n", strLine.c_str());
    std::fflush(m_pStream);
    ::syslog(Priority(icon), "%s", strLine.c_str());
}

bool CLogMessageBoxes::Confirm(CMessageTarget* owner, const std::string& text,
                               const std::string& caption, const std::string&,
                               const std::string& strCancel) {
    Show(owner, text + " (" + strCancel + ")", caption, EIcon::Warning);
    return false;
}
