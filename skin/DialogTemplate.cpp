#include "skin/DialogTemplate.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <array>
#include <set>
#include <utility>

#include "skin/SkinResources.h"

namespace {

constexpr std::array<std::pair<const char*, EControlKind>, 12> kKinds{{
    {"button", EControlKind::PushButton},
    {"radio", EControlKind::RadioButton},
    {"check", EControlKind::CheckBox},
    {"static", EControlKind::Static},
    {"icon", EControlKind::Icon},
    {"edit", EControlKind::Edit},
    {"combo", EControlKind::ComboBox},
    {"listview", EControlKind::ListView},
    {"trackbar", EControlKind::Trackbar},
    {"datetime", EControlKind::DateTimePicker},
    {"group", EControlKind::GroupBox},
    {"progress", EControlKind::ProgressBar},
}};

constexpr std::array<std::pair<const char*, uint32_t>, 23> kStyles{{
    {"hidden", STYLE_HIDDEN},
    {"disabled", STYLE_DISABLED},
    {"default", STYLE_DEFAULT},
    {"pushlike", STYLE_PUSHLIKE},
    {"auto", STYLE_AUTO},
    {"right", STYLE_RIGHT},
    {"center", STYLE_CENTER},
    {"noprefix", STYLE_NOPREFIX},
    {"autohscroll", STYLE_AUTOHSCROLL},
    {"readonly", STYLE_READONLY},
    {"dropdownlist", STYLE_DROPDOWNLIST},
    {"sort", STYLE_SORT},
    {"report", STYLE_REPORT},
    {"singlesel", STYLE_SINGLESEL},
    {"showselalways", STYLE_SHOWSELALWAYS},
    {"nosortheader", STYLE_NOSORTHEADER},
    {"noticks", STYLE_NOTICKS},
    {"vertical", STYLE_VERTICAL},
    {"shortdate", STYLE_SHORTDATE},
    {"time", STYLE_TIME},
    {"updown", STYLE_UPDOWN},
    {"rightalign", STYLE_RIGHTALIGN},
    {"parse", STYLE_PARSE},
}};

// Reads [a, b, ...] of whole numbers; false unless there are exactly n.
bool ReadInts(const QJsonValue& value, int* out, int n) {
    const QJsonArray array = value.toArray();
    if (!value.isArray() || array.size() != n) {
        return false;
    }
    for (int i = 0; i < n; ++i) {
        if (!array[i].isDouble()) {
            return false;
        }
        out[i] = array[i].toInt();
    }
    return true;
}

bool ParseControl(const QJsonObject& object, SControlTemplate& control, std::string& strError) {
    if (!object.value("id").isDouble()) {
        strError = "a control without a numeric \"id\"";
        return false;
    }
    control.nId = object.value("id").toInt();
    const std::string strWhere = "control " + std::to_string(control.nId);

    const std::string strKind = object.value("kind").toString().toStdString();
    auto kind = std::find_if(kKinds.begin(), kKinds.end(),
                             [&](const auto& k) { return strKind == k.first; });
    if (kind == kKinds.end()) {
        strError = strWhere + ": unknown kind \"" + strKind + "\"";
        return false;
    }
    control.kind = kind->second;

    int r[4];
    if (!ReadInts(object.value("rect"), r, 4) || r[2] < 0 || r[3] < 0) {
        strError = strWhere + ": \"rect\" must be [x, y, width, height]";
        return false;
    }
    control.rect = QRect(r[0], r[1], r[2], r[3]);

    for (const QJsonValue& style : object.value("style").toArray()) {
        const std::string strStyle = style.toString().toStdString();
        auto flag = std::find_if(kStyles.begin(), kStyles.end(),
                                 [&](const auto& s) { return strStyle == s.first; });
        if (flag == kStyles.end()) {
            strError = strWhere + ": unknown style \"" + strStyle + "\"";
            return false;
        }
        control.nStyle |= flag->second;
    }
    control.strText = object.value("text").toString().toStdString();
    for (const QJsonValue& item : object.value("items").toArray()) {
        control.items.push_back(item.toString().toStdString());
    }
    return true;
}

}  // namespace

bool CDialogTemplate::Load(int nId, CDialogTemplate& result, std::string& strError) {
    KestrelInitSkinResources();
    const QString strPath = QString(":/templates/%1.json").arg(nId);
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly)) {
        strError = "dialog template " + std::to_string(nId) + " is not in the resources";
        return false;
    }
    if (!Parse(file.readAll(), strPath.toStdString(), result, strError)) {
        return false;
    }
    if (result.m_nId != nId) {
        strError = strPath.toStdString() + ": holds template " + std::to_string(result.m_nId);
        return false;
    }
    return true;
}

bool CDialogTemplate::Parse(const QByteArray& text, const std::string& strSource,
                            CDialogTemplate& result, std::string& strError) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(text, &parseError);
    if (document.isNull() || !document.isObject()) {
        strError = strSource + ": not a template (" + parseError.errorString().toStdString() +
                   " at offset " + std::to_string(parseError.offset) + ")";
        return false;
    }
    const QJsonObject root = document.object();
    CDialogTemplate parsed;
    int size[2];
    if (!root.value("id").isDouble() || !ReadInts(root.value("size"), size, 2)) {
        strError = strSource + ": needs a numeric \"id\" and \"size\": [width, height]";
        return false;
    }
    parsed.m_nId = root.value("id").toInt();
    parsed.m_size = QSize(size[0], size[1]);
    const QJsonObject font = root.value("font").toObject();
    parsed.m_strFontName = font.value("name").toString("System").toStdString();
    parsed.m_nFontSize = font.value("size").toInt(10);
    parsed.m_strCaption = root.value("caption").toString().toStdString();

    std::set<int> ids;
    for (const QJsonValue& value : root.value("controls").toArray()) {
        SControlTemplate control;
        if (!ParseControl(value.toObject(), control, strError)) {
            strError = strSource + ": " + strError;
            return false;
        }
        // Identifier -1 is the anonymous static that Windows templates allow
        // many times; every other identifier names one control.
        if (control.nId != -1 && !ids.insert(control.nId).second) {
            strError = strSource + ": control " + std::to_string(control.nId) + " appears twice";
            return false;
        }
        parsed.m_controls.push_back(std::move(control));
    }
    result = std::move(parsed);
    return true;
}

const SControlTemplate* CDialogTemplate::Find(int nId) const {
    auto it = std::find_if(m_controls.begin(), m_controls.end(),
                           [nId](const SControlTemplate& c) { return c.nId == nId; });
    return it == m_controls.end() ? nullptr : &*it;
}
