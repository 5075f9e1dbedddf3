#pragma once

#include <string>

class CMessageTarget;

// Kestrel's modal message boxes ("Kestrel Radio", error icon).
//
// Contract: called on the UI thread; returns when the user has closed the box.
// The owner may be null. The Qt back-end shows a QMessageBox; the simulated
// one records the box and returns at once (tests answer through it); the
// log's answers no question (nobody is there to confirm).
class CMessageBoxes {
public:
    enum class EIcon { Error, Warning, Information };

    virtual ~CMessageBoxes() = default;

    virtual void Show(CMessageTarget* owner, const std::string& text, const std::string& caption,
                      EIcon icon) = 0;
    // Asks before something is done that cannot be undone: true only when
    // the user chose the confirming button. The other one is the default,
    // so that Enter or Escape never confirms by accident.
    virtual bool Confirm(CMessageTarget* owner, const std::string& text, const std::string& caption,
                         const std::string& strConfirm, const std::string& strCancel) = 0;
};
