#pragma once

#include <QByteArray>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <string>
#include <vector>

// What a control of a dialog template is.
enum class EControlKind {
    PushButton,
    RadioButton,
    CheckBox,
    Static,
    Icon,
    Edit,
    ComboBox,
    ListView,
    Trackbar,
    DateTimePicker,
    GroupBox,
    ProgressBar,
};

// Control styles that change how a control is built or behaves. Each template
// names them in its "style" list; an unknown name is a load error, so that a
// typo never silently changes a window.
enum EControlStyle : uint32_t {
    STYLE_HIDDEN = 1u << 0,          // not visible at start
    STYLE_DISABLED = 1u << 1,        // disabled at start
    STYLE_DEFAULT = 1u << 2,         // the default push button (Enter)
    STYLE_PUSHLIKE = 1u << 3,        // radio or check box drawn as a push button
    STYLE_AUTO = 1u << 4,            // radio or check box that toggles itself
    STYLE_RIGHT = 1u << 5,           // text right-aligned
    STYLE_CENTER = 1u << 6,          // text centred
    STYLE_NOPREFIX = 1u << 7,        // "&" is shown, not a mnemonic
    STYLE_AUTOHSCROLL = 1u << 8,     // edit scrolls with the caret
    STYLE_READONLY = 1u << 9,        // edit cannot be typed into
    STYLE_DROPDOWNLIST = 1u << 10,   // combo box without an edit field
    STYLE_SORT = 1u << 11,           // combo box or list sorted
    STYLE_REPORT = 1u << 12,         // list view with columns
    STYLE_SINGLESEL = 1u << 13,      // list view selects one row at most
    STYLE_SHOWSELALWAYS = 1u << 14,  // selection visible without focus
    STYLE_NOSORTHEADER = 1u << 15,   // column headers do not react to clicks
    STYLE_NOTICKS = 1u << 16,        // trackbar without tick marks
    STYLE_VERTICAL = 1u << 17,       // vertical trackbar
    STYLE_SHORTDATE = 1u << 18,      // date picker in the short date format
    STYLE_TIME = 1u << 19,           // picker of the time of day
    STYLE_UPDOWN = 1u << 20,         // picker with arrows instead of a calendar
    STYLE_RIGHTALIGN = 1u << 21,     // picker's calendar aligned to its right edge
    STYLE_PARSE = 1u << 22,          // picker accepts typed text
};

// One control: identifier, kind, rectangle in dialog units, styles, and the
// template's own text or list items.
struct SControlTemplate {
    int nId = 0;
    EControlKind kind = EControlKind::Static;
    QRect rect;  // dialog units: x, y, width, height
    uint32_t nStyle = 0;
    std::string strText;
    std::vector<std::string> items;

    bool Has(uint32_t nFlag) const { return (nStyle & nFlag) != 0; }
};

// A numbered dialog template: size in dialog units, font, caption and controls
// in creation (and tab) order. Templates are text resources under
// ":/templates/<id>.json" (resources/templates/README.md gives the format).
class CDialogTemplate {
public:
    // Reads template nId from the program's resources. On failure the result
    // is false and strError says which template and what is wrong.
    static bool Load(int nId, CDialogTemplate& result, std::string& strError);
    // Parses template text; strSource names it in error messages.
    static bool Parse(const QByteArray& text, const std::string& strSource, CDialogTemplate& result,
                      std::string& strError);

    int Id() const { return m_nId; }
    QSize Size() const { return m_size; }  // dialog units
    const std::string& FontName() const { return m_strFontName; }
    int FontSize() const { return m_nFontSize; }
    const std::string& Caption() const { return m_strCaption; }
    const std::vector<SControlTemplate>& Controls() const { return m_controls; }
    // The control with this identifier, or null.
    const SControlTemplate* Find(int nId) const;

private:
    int m_nId = 0;
    QSize m_size;
    std::string m_strFontName;
    int m_nFontSize = 0;
    std::string m_strCaption;
    std::vector<SControlTemplate> m_controls;
};
