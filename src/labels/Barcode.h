#pragma once
// Barcodes from libzint, as dark rectangles on a grid of modules, so that any surface can
// draw them at a whole number of dots per module.
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace imgdl::labels {

enum class Symbology { Code128, Qr };

struct ModuleRect {
    double x, y, width, height;  // in modules, from the symbol's top left
};

struct BarcodeShape {
    int modulesWide = 0;
    int modulesHigh = 0;  // 1 for a linear code: its bars span its whole height
    std::vector<ModuleRect> dark;
};

struct BarcodeError {
    std::string message;  // libzint's own words
};

// Without quiet zones or human-readable text: the label places those itself.
std::variant<BarcodeShape, BarcodeError> EncodeBarcode(Symbology symbology, std::string_view data);

// The quiet zone each side, in modules, that a reader needs.
int QuietModules(Symbology symbology);

}  // namespace imgdl::labels
