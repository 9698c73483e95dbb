#include "ledger/RedactUri.h"

#include <algorithm>
#include <cctype>

namespace imgdl::ledger {

namespace {

constexpr std::string_view kHidden = "***";

struct Span {
    std::size_t begin = 0;
    std::size_t end = 0;  // past the last character
};

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// Where the secrets sit in the URI, in order: the user part's password, then the values
// of "password=" parameters.
std::vector<Span> PasswordSpans(std::string_view uri) {
    std::vector<Span> spans;
    const std::size_t scheme = uri.find("://");
    if (scheme == std::string_view::npos) return spans;
    const std::size_t start = scheme + 3;
    const std::size_t query = uri.find('?', start);
    const std::string_view head = uri.substr(0, query);
    const std::size_t at = head.rfind('@');
    if (at != std::string_view::npos && at > start) {
        const std::size_t colon = head.find(':', start);
        if (colon != std::string_view::npos && colon < at) spans.push_back({colon + 1, at});
    }
    if (query == std::string_view::npos) return spans;
    std::size_t pos = query + 1;
    while (pos <= uri.size()) {
        std::size_t end = uri.find('&', pos);
        if (end == std::string_view::npos) end = uri.size();
        const std::string_view param = uri.substr(pos, end - pos);
        const std::size_t eq = param.find('=');
        if (eq != std::string_view::npos && Lower(param.substr(0, eq)) == "password")
            spans.push_back({pos + eq + 1, end});
        pos = end + 1;
    }
    return spans;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string PercentDecode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

std::string RedactUri(std::string_view uri) {
    std::string out;
    std::size_t pos = 0;
    for (const Span& s : PasswordSpans(uri)) {
        out.append(uri.substr(pos, s.begin - pos));
        out.append(kHidden);
        pos = s.end;
    }
    out.append(uri.substr(pos));
    return out;
}

std::vector<std::string> UriPasswords(std::string_view uri) {
    std::vector<std::string> secrets;
    for (const Span& s : PasswordSpans(uri)) {
        const std::string_view raw = uri.substr(s.begin, s.end - s.begin);
        if (raw.empty()) continue;
        secrets.emplace_back(raw);
        const std::string decoded = PercentDecode(raw);
        if (decoded != raw && !decoded.empty()) secrets.push_back(decoded);
    }
    return secrets;
}

std::string Scrub(std::string text, const std::vector<std::string>& secrets) {
    for (const std::string& secret : secrets) {
        for (std::size_t at = text.find(secret); at != std::string::npos;
             at = text.find(secret, at + kHidden.size()))
            text.replace(at, secret.size(), kHidden);
    }
    return text;
}

}  // namespace imgdl::ledger
