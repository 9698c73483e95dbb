#include "labels/LabelLayout.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <set>
#include <sstream>

#include "common/RegularFile.h"

namespace imgdl::labels {
namespace {

constexpr LabelField kAllFields[] = {LabelField::Mac,  LabelField::Serial,  LabelField::Version,
                                     LabelField::Date, LabelField::Code128, LabelField::Qr};

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::optional<double> Number(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<LabelField> FieldNamed(std::string_view name) {
    for (const LabelField f : kAllFields)
        if (LabelFieldName(f) == name) return f;
    return std::nullopt;
}

// One "key = value" line into the layout; an error message when it does not fit.
std::string Apply(LabelLayout& layout, std::string_view key, std::string_view value) {
    if (key == "width" || key == "height") {
        const auto mm = Number(value);
        if (!mm || *mm < 10 || *mm > 300)
            return std::string(key) + " must be a length in mm from 10 to 300, got '" +
                   std::string(value) + "'";
        (key == "width" ? layout.widthMm : layout.heightMm) = *mm;
        return {};
    }
    if (key == "dpi") {
        const auto dpi = Number(value);
        if (!dpi || *dpi != std::floor(*dpi) || *dpi < 100 || *dpi > 1200)
            return "dpi must be a whole number from 100 to 1200, got '" + std::string(value) + "'";
        layout.dpi = static_cast<int>(*dpi);
        return {};
    }
    if (key == "fields") {
        layout.fields.clear();
        std::istringstream words{std::string(value)};
        for (std::string word; words >> word;) {
            const auto field = FieldNamed(word);
            if (!field)
                return "unknown field '" + word + "' (fields: mac serial version date code128 qr)";
            if (!layout.shows(*field)) layout.fields.push_back(*field);
        }
        if (layout.fields.empty()) return "fields names nothing to show";
        return {};
    }
    return "unknown key '" + std::string(key) + "' (keys: width height dpi fields)";
}

}  // namespace

std::string_view LabelFieldName(LabelField field) {
    switch (field) {
        case LabelField::Mac:
            return "mac";
        case LabelField::Serial:
            return "serial";
        case LabelField::Version:
            return "version";
        case LabelField::Date:
            return "date";
        case LabelField::Code128:
            return "code128";
        case LabelField::Qr:
            return "qr";
    }
    return {};
}

bool LabelLayout::shows(LabelField field) const {
    return std::find(fields.begin(), fields.end(), field) != fields.end();
}

int LabelLayout::widthDots() const {
    return static_cast<int>(std::lround(widthMm / 25.4 * dpi));
}

int LabelLayout::heightDots() const {
    return static_cast<int>(std::lround(heightMm / 25.4 * dpi));
}

std::variant<LabelLayout, LayoutError> ParseLabelLayout(std::string_view text,
                                                        std::string_view name) {
    LabelLayout layout;
    std::set<std::string, std::less<>> seen;
    int number = 0;
    while (!text.empty()) {
        ++number;
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        line = Trim(line.substr(0, line.find('#')));
        if (line.empty()) continue;
        const auto where = std::string(name) + ":" + std::to_string(number) + ": ";
        const auto equals = line.find('=');
        if (equals == std::string_view::npos)
            return LayoutError{where + "expected 'key = value', got '" + std::string(line) + "'"};
        const std::string_view key = Trim(line.substr(0, equals));
        if (!seen.insert(std::string(key)).second)
            return LayoutError{where + std::string(key) + " is given twice"};
        if (std::string e = Apply(layout, key, Trim(line.substr(equals + 1))); !e.empty())
            return LayoutError{where + e};
    }
    return layout;
}

std::variant<LabelLayout, LayoutError> ReadLabelLayout(const std::string& path) {
    const SmallTextFile file = ReadSmallTextFile(path, 64 * 1024, "a label layout");
    if (!file.error.empty()) return LayoutError{file.error};
    return ParseLabelLayout(file.text, path);
}

}  // namespace imgdl::labels
