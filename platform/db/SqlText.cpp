#include "platform/db/SqlText.h"

#include <cctype>

namespace {

bool IsNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$';
}

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

}  // namespace

std::string CSqlText::Unbracket(std::string_view strSQL) {
    std::string result;
    result.reserve(strSQL.size());
    char quote = 0;
    for (std::size_t i = 0; i < strSQL.size(); ++i) {
        const char c = strSQL[i];
        if (quote) {
            quote = c == quote ? 0 : quote;
            result += c;
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            result += c;
            continue;
        }
        if (c == '[') {
            const std::size_t nClose = strSQL.find(']', i + 1);
            if (nClose != std::string_view::npos) {
                result += strSQL.substr(i + 1, nClose - i - 1);
                i = nClose;
                continue;
            }
        }
        result += c;
    }
    return result;
}

bool CSqlText::IsSelect(std::string_view strSQL) {
    const std::size_t nStart = strSQL.find_first_not_of(" \t\r\n");
    if (nStart == std::string_view::npos) {
        return false;
    }
    const std::string_view word = strSQL.substr(nStart, 6);
    return EqualNoCase(word, "select") &&
           (strSQL.size() == nStart + 6 || !IsNameChar(strSQL[nStart + 6]));
}

std::string CSqlText::TableOf(std::string_view strSQL) {
    const std::string plain = Unbracket(strSQL);
    for (std::size_t i = 0; i + 4 <= plain.size(); ++i) {
        const bool bWordStart = i == 0 || !IsNameChar(plain[i - 1]);
        const bool bWordEnd = i + 4 == plain.size() || !IsNameChar(plain[i + 4]);
        if (!bWordStart || !bWordEnd ||
            !EqualNoCase(std::string_view(plain).substr(i, 4), "from")) {
            continue;
        }
        std::size_t nName = plain.find_first_not_of(" \t\r\n", i + 4);
        if (nName == std::string::npos) {
            return {};
        }
        std::size_t nEnd = nName;
        while (nEnd < plain.size() && (IsNameChar(plain[nEnd]) || plain[nEnd] == '.')) {
            ++nEnd;
        }
        return plain.substr(nName, nEnd - nName);
    }
    return {};
}

bool CSqlText::EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}
