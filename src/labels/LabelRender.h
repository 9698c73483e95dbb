#pragma once
// Draws labels with cairo: a PDF of one page per label, or one label as PNG (at the
// layout's dpi) or SVG. Everything is placed on whole printer dots, so that every bar and
// module of a barcode is the same width on paper as in the PNG.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "labels/LabelData.h"
#include "labels/LabelLayout.h"

namespace imgdl::labels {

enum class LabelFormat { Pdf, Png, Svg };
// By the name's extension, whatever its case: .pdf, .png, .svg.
std::optional<LabelFormat> LabelFormatOf(std::string_view path);

struct RenderError {
    std::string message;
};

// The file's bytes. PNG and SVG hold exactly one label.
std::variant<std::string, RenderError> RenderLabels(std::span<const LabelData> labels,
                                                    const LabelLayout& layout, LabelFormat format);

}  // namespace imgdl::labels
