#pragma once

#include <map>
#include <optional>
#include <string>

class CSkinImage;

// A rectangle in a window's client coordinates; right and bottom lie just
// outside it, so width = right - left.
struct SSkinRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool operator==(const SSkinRect&) const = default;
};

// A named object of the skin: a rectangle in the client coordinates of the
// window it belongs to, and named images ("Face", "BackGround") that code
// draws itself. Either part may be absent.
class CSkinObject {
public:
    CSkinObject(std::string strName, std::optional<SSkinRect> rect,
                std::map<std::string, const CSkinImage*> images)
        : m_strName(std::move(strName)), m_rect(rect), m_images(std::move(images)) {}

    const std::string& Name() const { return m_strName; }
    const std::optional<SSkinRect>& Rect() const { return m_rect; }
    // The image of this name, or null.
    const CSkinImage* Image(const std::string& strName) const {
        auto it = m_images.find(strName);
        return it == m_images.end() ? nullptr : it->second;
    }

private:
    std::string m_strName;
    std::optional<SSkinRect> m_rect;
    std::map<std::string, const CSkinImage*> m_images;  // owned by the skin
};

// What the engine hands out for a found object: valid until it is released.
using HSKINOBJECT = const CSkinObject*;
