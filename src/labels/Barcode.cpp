#include "labels/Barcode.h"

#include <zint.h>

#include <memory>

namespace imgdl::labels {
namespace {

struct SymbolDeleter {
    void operator()(zint_symbol* symbol) const { ZBarcode_Delete(symbol); }
};
using Symbol = std::unique_ptr<zint_symbol, SymbolDeleter>;

}  // namespace

int QuietModules(Symbology symbology) {
    return symbology == Symbology::Code128 ? 10 : 4;
}

std::variant<BarcodeShape, BarcodeError> EncodeBarcode(Symbology symbology, std::string_view data) {
    const Symbol symbol(ZBarcode_Create());
    if (!symbol) return BarcodeError{"libzint could not allocate a symbol"};
    symbol->symbology = symbology == Symbology::Code128 ? BARCODE_CODE128 : BARCODE_QRCODE;
    symbol->show_hrt = 0;
    symbol->output_options |= BARCODE_NO_QUIET_ZONES;
    if (symbology == Symbology::Qr) symbol->option_1 = 2;  // error correction M
    const int encoded =
        ZBarcode_Encode(symbol.get(), reinterpret_cast<const unsigned char*>(data.data()),
                        static_cast<int>(data.size()));
    if (encoded >= ZINT_ERROR) return BarcodeError{symbol->errtxt};
    if (ZBarcode_Buffer_Vector(symbol.get(), 0) >= ZINT_ERROR || !symbol->vector)
        return BarcodeError{symbol->errtxt};
    BarcodeShape shape;
    shape.modulesWide = symbol->width;
    shape.modulesHigh = symbology == Symbology::Qr ? symbol->rows : 1;
    // The vector's units per module: its width holds exactly the symbol's modules.
    const double unit = symbol->vector->width / symbol->width;
    for (const zint_vector_rect* r = symbol->vector->rectangles; r; r = r->next) {
        if (r->colour != -1) continue;  // only the foreground is drawn
        if (symbology == Symbology::Code128)
            shape.dark.push_back({r->x / unit, 0, r->width / unit, 1});
        else
            shape.dark.push_back({r->x / unit, r->y / unit, r->width / unit, r->height / unit});
    }
    return shape;
}

}  // namespace imgdl::labels
