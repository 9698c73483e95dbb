#pragma once
// A label's size, resolution and what it shows, read from a small text file:
//
//     # a comment
//     width = 60        (mm)
//     height = 30       (mm)
//     dpi = 300
//     fields = mac serial version date code128 qr
//
// Every key is optional and at most once; a missing one keeps the default (60 x 30 mm,
// 300 dpi, every field).
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace imgdl::labels {

enum class LabelField { Mac, Serial, Version, Date, Code128, Qr };
// "mac", "serial", "version", "date", "code128", "qr": the names a layout file uses.
std::string_view LabelFieldName(LabelField field);

struct LabelLayout {
    double widthMm = 60;
    double heightMm = 30;
    int dpi = 300;
    std::vector<LabelField> fields = {LabelField::Mac,  LabelField::Serial,  LabelField::Version,
                                      LabelField::Date, LabelField::Code128, LabelField::Qr};

    bool shows(LabelField field) const;
    // The size in printer dots at `dpi`.
    int widthDots() const;
    int heightDots() const;
};

// What is wrong with a layout file, as "NAME:LINE: what".
struct LayoutError {
    std::string message;
};

std::variant<LabelLayout, LayoutError> ParseLabelLayout(std::string_view text,
                                                        std::string_view name);
// Reads and parses the file at `path` (a regular file of at most 64 KiB).
std::variant<LabelLayout, LayoutError> ReadLabelLayout(const std::string& path);

}  // namespace imgdl::labels
