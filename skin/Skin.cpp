#include "skin/Skin.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <array>
#include <utility>

#include "skin/SkinImage.h"

namespace {

constexpr std::array<std::pair<const char*, QPalette::ColorRole>, 16> kColorRoles{{
    {"window", QPalette::Window},
    {"windowText", QPalette::WindowText},
    {"base", QPalette::Base},
    {"alternateBase", QPalette::AlternateBase},
    {"text", QPalette::Text},
    {"button", QPalette::Button},
    {"buttonText", QPalette::ButtonText},
    {"highlight", QPalette::Highlight},
    {"highlightedText", QPalette::HighlightedText},
    {"brightText", QPalette::BrightText},
    {"light", QPalette::Light},
    {"midlight", QPalette::Midlight},
    {"mid", QPalette::Mid},
    {"dark", QPalette::Dark},
    {"shadow", QPalette::Shadow},
    {"placeholderText", QPalette::PlaceholderText},
}};

}  // namespace

SSkinLook SSkinLook::Merged(const SSkinLook& other) const {
    SSkinLook merged = *this;
    if (!other.strFace.empty()) {
        merged.strFace = other.strFace;
    }
    if (!other.strSlider.empty()) {
        merged.strSlider = other.strSlider;
    }
    if (other.pGlyph) {
        merged.pGlyph = other.pGlyph;
        merged.pGlyphOn = other.pGlyphOn;
    }
    if (other.pGlyphOn) {
        merged.pGlyphOn = other.pGlyphOn;
    }
    if (other.font) {
        merged.font = other.font;
    }
    if (other.color) {
        merged.color = other.color;
    }
    if (other.colorOn) {
        merged.colorOn = other.colorOn;
    }
    if (other.align) {
        merged.align = other.align;
    }
    return merged;
}

SSkinLook SSkinWindow::Look(int nId) const {
    auto it = controls.find(nId);
    return it == controls.end() ? defaults : defaults.Merged(it->second);
}

// Reads the description into a skin; the first fault ends it with a message
// that names the place ("windows.MainWin.controls.1023.font: ...").
class CSkin::CParser {
public:
    CParser(CSkin& skin, QString strFolder) : m_skin(skin), m_strFolder(std::move(strFolder)) {}

    bool Parse(const QJsonObject& root) {
        if (root.value("format").toInt() != 1) {
            return Fail("format", "only format 1 is understood");
        }
        m_skin.m_strName = root.value("name").toString().toStdString();
        m_skin.m_strDialogDefault = root.value("dialogDefault").toString().toStdString();
        return ParseFaces(root.value("faces").toObject()) &&
               ParseSliders(root.value("sliders").toObject()) &&
               ParseWindows(root.value("windows").toObject()) &&
               ParseObjects(root.value("objects").toObject()) && CheckReferences();
    }

    std::string m_strError;

private:
    bool Fail(const std::string& strWhere, const std::string& strWhat) {
        m_strError = strWhere + ": " + strWhat;
        return false;
    }

    // An image file of the skin folder, loaded once however often it is named.
    bool Image(const QJsonValue& value, const std::string& strWhere, const CSkinImage*& pImage) {
        if (value.isUndefined()) {
            return true;
        }
        const QString strFile = value.toString();
        if (strFile.isEmpty()) {
            return Fail(strWhere, "an image file name is expected");
        }
        auto it = m_skin.m_images.find(strFile);
        if (it == m_skin.m_images.end()) {
            std::string strError;
            auto pLoaded = CSkinImage::Load(m_strFolder + "/" + strFile, strError);
            if (!pLoaded) {
                return Fail(strWhere, strError);
            }
            it = m_skin.m_images.emplace(strFile, std::move(pLoaded)).first;
        }
        pImage = it->second.get();
        return true;
    }

    bool Ints(const QJsonValue& value, const std::string& strWhere, int* out, int n) {
        const QJsonArray array = value.toArray();
        if (!value.isArray() || array.size() != n) {
            return Fail(strWhere, std::to_string(n) + " numbers are expected");
        }
        for (int i = 0; i < n; ++i) {
            if (!array[i].isDouble()) {
                return Fail(strWhere, std::to_string(n) + " numbers are expected");
            }
            out[i] = array[i].toInt();
        }
        return true;
    }

    bool Margins(const QJsonValue& value, const std::string& strWhere, QMargins& margins) {
        if (value.isUndefined()) {
            return true;
        }
        int m[4];
        if (!Ints(value, strWhere, m, 4)) {
            return false;
        }
        margins = QMargins(m[0], m[1], m[2], m[3]);
        return true;
    }

    bool Color(const QJsonValue& value, const std::string& strWhere, std::optional<QColor>& color) {
        if (value.isUndefined()) {
            return true;
        }
        const QColor parsed = QColor::fromString(value.toString());
        if (!parsed.isValid()) {
            return Fail(strWhere, "not a colour");
        }
        color = parsed;
        return true;
    }

    bool Font(const QJsonValue& value, const std::string& strWhere, std::optional<QFont>& font) {
        if (value.isUndefined()) {
            return true;
        }
        const QJsonObject object = value.toObject();
        if (!object.value("pixelSize").isDouble()) {
            return Fail(strWhere, "a font needs a \"pixelSize\"");
        }
        QFont parsed;
        if (object.contains("family")) {
            parsed.setFamily(object.value("family").toString());
        }
        parsed.setPixelSize(object.value("pixelSize").toInt());
        parsed.setBold(object.value("bold").toBool());
        if (object.contains("letterSpacing")) {
            parsed.setLetterSpacing(QFont::AbsoluteSpacing,
                                    object.value("letterSpacing").toDouble());
        }
        if (object.contains("capitals")) {
            parsed.setCapitalization(object.value("capitals").toBool() ? QFont::AllUppercase
                                                                       : QFont::MixedCase);
        }
        font = parsed;
        return true;
    }

    bool Align(const QJsonValue& value, const std::string& strWhere,
               std::optional<Qt::Alignment>& align) {
        if (value.isUndefined()) {
            return true;
        }
        const QString strAlign = value.toString();
        if (strAlign == "left") {
            align = Qt::AlignLeft | Qt::AlignVCenter;
        } else if (strAlign == "right") {
            align = Qt::AlignRight | Qt::AlignVCenter;
        } else if (strAlign == "center") {
            align = Qt::AlignCenter;
        } else {
            return Fail(strWhere, "\"left\", \"right\" or \"center\" is expected");
        }
        return true;
    }

    bool Look(const QJsonObject& object, const std::string& strWhere, SSkinLook& look) {
        look.strFace = object.value("face").toString().toStdString();
        look.strSlider = object.value("slider").toString().toStdString();
        return Image(object.value("glyph"), strWhere + ".glyph", look.pGlyph) &&
               Image(object.value("glyphOn"), strWhere + ".glyphOn", look.pGlyphOn) &&
               Font(object.value("font"), strWhere + ".font", look.font) &&
               Color(object.value("color"), strWhere + ".color", look.color) &&
               Color(object.value("colorOn"), strWhere + ".colorOn", look.colorOn) &&
               Align(object.value("align"), strWhere + ".align", look.align);
    }

    bool ParseFaces(const QJsonObject& faces) {
        for (auto it = faces.begin(); it != faces.end(); ++it) {
            const std::string strWhere = "faces." + it.key().toStdString();
            const QJsonObject object = it.value().toObject();
            SSkinFace face;
            if (!Margins(object.value("margins"), strWhere + ".margins", face.margins) ||
                !Image(object.value("normal"), strWhere + ".normal", face.pNormal) ||
                !Image(object.value("hover"), strWhere + ".hover", face.pHover) ||
                !Image(object.value("pressed"), strWhere + ".pressed", face.pPressed) ||
                !Image(object.value("on"), strWhere + ".on", face.pOn) ||
                !Image(object.value("disabled"), strWhere + ".disabled", face.pDisabled) ||
                !Font(object.value("font"), strWhere + ".font", face.font)) {
                return false;
            }
            if (!face.pNormal) {
                return Fail(strWhere, "a face needs a \"normal\" image");
            }
            m_skin.m_faces[it.key().toStdString()] = face;
        }
        return true;
    }

    bool ParseSliders(const QJsonObject& sliders) {
        for (auto it = sliders.begin(); it != sliders.end(); ++it) {
            const std::string strWhere = "sliders." + it.key().toStdString();
            const QJsonObject object = it.value().toObject();
            SSkinSlider slider;
            int handle[2] = {slider.handleSize.width(), slider.handleSize.height()};
            if (!Image(object.value("groove"), strWhere + ".groove", slider.pGroove) ||
                !Image(object.value("fill"), strWhere + ".fill", slider.pFill) ||
                !Image(object.value("handle"), strWhere + ".handle", slider.pHandle) ||
                !Margins(object.value("grooveMargins"), strWhere + ".grooveMargins",
                         slider.grooveMargins) ||
                (object.contains("handleSize") &&
                 !Ints(object.value("handleSize"), strWhere + ".handleSize", handle, 2))) {
                return false;
            }
            if (!slider.pGroove || !slider.pHandle) {
                return Fail(strWhere, "a slider needs a \"groove\" and a \"handle\"");
            }
            slider.handleSize = QSize(handle[0], handle[1]);
            slider.nGrooveThickness = object.value("grooveThickness").toInt(6);
            m_skin.m_sliders[it.key().toStdString()] = slider;
        }
        return true;
    }

    bool ParseColors(const QJsonObject& colors, const std::string& strWhere, SSkinWindow& window) {
        for (auto it = colors.begin(); it != colors.end(); ++it) {
            const std::string strRole = it.key().toStdString();
            auto role = std::find_if(kColorRoles.begin(), kColorRoles.end(),
                                     [&](const auto& r) { return strRole == r.first; });
            if (role == kColorRoles.end()) {
                return Fail(strWhere + "." + strRole, "unknown palette role");
            }
            std::optional<QColor> color;
            if (!Color(it.value(), strWhere + "." + strRole, color)) {
                return false;
            }
            window.colors[role->second] = *color;
        }
        return true;
    }

    bool ParseWindows(const QJsonObject& windows) {
        for (auto it = windows.begin(); it != windows.end(); ++it) {
            const std::string strWhere = "windows." + it.key().toStdString();
            const QJsonObject object = it.value().toObject();
            SSkinWindow window;
            if (!Image(object.value("background"), strWhere + ".background", window.pBackground) ||
                !Margins(object.value("margins"), strWhere + ".margins", window.margins) ||
                !ParseColors(object.value("colors").toObject(), strWhere + ".colors", window) ||
                !Font(object.value("font"), strWhere + ".font", window.font) ||
                !Look(object.value("defaults").toObject(), strWhere + ".defaults",
                      window.defaults)) {
                return false;
            }
            const QJsonObject controls = object.value("controls").toObject();
            for (auto control = controls.begin(); control != controls.end(); ++control) {
                const std::string strControl =
                    strWhere + ".controls." + control.key().toStdString();
                bool bNumber = false;
                const int nId = control.key().toInt(&bNumber);
                if (!bNumber) {
                    return Fail(strControl, "controls are named by their numeric identifier");
                }
                if (!Look(control.value().toObject(), strControl, window.controls[nId])) {
                    return false;
                }
            }
            m_skin.m_windows[it.key().toStdString()] = window;
        }
        return true;
    }

    bool ParseObjects(const QJsonObject& objects) {
        for (auto it = objects.begin(); it != objects.end(); ++it) {
            const std::string strName = it.key().toStdString();
            const std::string strWhere = "objects." + strName;
            const QJsonObject object = it.value().toObject();
            std::optional<SSkinRect> rect;
            if (object.contains("rect")) {
                int r[4];
                if (!Ints(object.value("rect"), strWhere + ".rect", r, 4)) {
                    return false;
                }
                if (r[2] < r[0] || r[3] < r[1]) {
                    return Fail(strWhere + ".rect", "[left, top, right, bottom] is expected");
                }
                rect = SSkinRect{r[0], r[1], r[2], r[3]};
            }
            std::map<std::string, const CSkinImage*> images;
            const QJsonObject imageNames = object.value("images").toObject();
            for (auto image = imageNames.begin(); image != imageNames.end(); ++image) {
                const CSkinImage* pImage = nullptr;
                if (!Image(image.value(), strWhere + ".images." + image.key().toStdString(),
                           pImage) ||
                    !pImage) {
                    return false;
                }
                images[image.key().toStdString()] = pImage;
            }
            m_skin.m_objects.emplace(strName, CSkinObject(strName, rect, std::move(images)));
        }
        return true;
    }

    // Names of faces and sliders must exist, so that a typo fails the load
    // instead of drawing a control unskinned.
    bool CheckReferences() {
        auto check = [this](const SSkinLook& look, const std::string& strWhere) {
            if (!look.strFace.empty() && !m_skin.m_faces.count(look.strFace)) {
                return Fail(strWhere, "no face \"" + look.strFace + "\"");
            }
            if (!look.strSlider.empty() && !m_skin.m_sliders.count(look.strSlider)) {
                return Fail(strWhere, "no slider \"" + look.strSlider + "\"");
            }
            return true;
        };
        for (const auto& [strName, window] : m_skin.m_windows) {
            if (!check(window.defaults, "windows." + strName + ".defaults")) {
                return false;
            }
            for (const auto& [nId, look] : window.controls) {
                if (!check(look, "windows." + strName + ".controls." + std::to_string(nId))) {
                    return false;
                }
            }
        }
        if (!m_skin.m_strDialogDefault.empty() &&
            !m_skin.m_windows.count(m_skin.m_strDialogDefault)) {
            return Fail("dialogDefault", "no window \"" + m_skin.m_strDialogDefault + "\"");
        }
        return true;
    }

    CSkin& m_skin;
    const QString m_strFolder;
};

CSkin::~CSkin() = default;

std::unique_ptr<CSkin> CSkin::Load(const QString& strFolder, std::string& strError) {
    const QString strPath = strFolder + "/skin.json";
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly)) {
        strError = strPath.toStdString() + ": missing";
        return nullptr;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!document.isObject()) {
        strError = strPath.toStdString() + ": not a skin description (" +
                   parseError.errorString().toStdString() + " at offset " +
                   std::to_string(parseError.offset) + ")";
        return nullptr;
    }
    std::unique_ptr<CSkin> pSkin(new CSkin);
    CParser parser(*pSkin, strFolder);
    if (!parser.Parse(document.object())) {
        strError = strPath.toStdString() + ": " + parser.m_strError;
        return nullptr;
    }
    return pSkin;
}

const SSkinWindow* CSkin::Window(const std::string& strName) const {
    auto it = m_windows.find(strName);
    return it == m_windows.end() ? nullptr : &it->second;
}

const SSkinFace* CSkin::Face(const std::string& strName) const {
    auto it = m_faces.find(strName);
    return it == m_faces.end() ? nullptr : &it->second;
}

const SSkinSlider* CSkin::Slider(const std::string& strName) const {
    auto it = m_sliders.find(strName);
    return it == m_sliders.end() ? nullptr : &it->second;
}

const CSkinObject* CSkin::Object(const std::string& strName) const {
    auto it = m_objects.find(strName);
    return it == m_objects.end() ? nullptr : &it->second;
}
