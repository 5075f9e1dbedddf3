#pragma once

#include <cstdio>
#include <string>

#include "platform/dialogs/MessageBoxes.h"

// The message boxes of a run that nobody watches: each box is written to
// standard error and to the system log (the journal, where there is one)
// and returns at once, as if its OK had been pressed.
class CLogMessageBoxes : public CMessageBoxes {
public:
    // pStream: where the lines go besides the system log (tests give a file).
    explicit CLogMessageBoxes(std::FILE* pStream = stderr);
    ~CLogMessageBoxes() override;

    CLogMessageBoxes(const CLogMessageBoxes&) = delete;
    CLogMessageBoxes& operator=(const CLogMessageBoxes&) = delete;

    void Show(CMessageTarget* owner, const std::string& text, const std::string& caption,
              EIcon icon) override;
    // Logged, and answered no: nothing is undone where nobody confirmed it.
    bool Confirm(CMessageTarget* owner, const std::string& text, const std::string& caption,
                 const std::string& strConfirm, const std::string& strCancel) override;

private:
    std::FILE* m_pStream;
};
