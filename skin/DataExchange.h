#pragma once

#include <ctime>
#include <functional>
#include <string>

class QWidget;

// Dialog data exchange: one object per UpdateData() call, handed to the
// dialog's DoDataExchange, which binds each member to its control with one
// call per member. Saving (m_bSaveAndValidate) reads the controls into the
// members; otherwise the members are written to the controls.
//
// A binding whose control is missing or of the wrong kind leaves its member
// untouched, is traced, and makes the exchange fail; the other bindings still
// run.
class CDataExchange {
public:
    using FindControl = std::function<QWidget*(int nId)>;

    CDataExchange(FindControl findControl, bool bSaveAndValidate);

    // Window text of an edit, static, button or combo box (UTF-8).
    void Text(int nId, std::string& strValue);
    // Selected index of a combo box, -1 for none.
    void CBIndex(int nId, int& nIndex);
    // Check state of a check box or check-like button: 0 or 1.
    void Check(int nId, int& nValue);
    // Date and time of a date-time picker, as calendar time in local time.
    void DateTime(int nId, std::time_t& value);
    // Position of a trackbar.
    void Slider(int nId, int& nPosition);

    bool Failed() const { return m_bFailed; }

    const bool m_bSaveAndValidate;

private:
    template <class T>
    T* Control(int nId, const char* pszKind);

    FindControl m_findControl;
    bool m_bFailed = false;
};
