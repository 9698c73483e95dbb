#include "labels/LabelPrint.h"

#include <cups/cups.h>

#include <cstdio>
#include <memory>

namespace imgdl::labels {
namespace {

struct HttpDeleter {
    void operator()(http_t* http) const { httpClose(http); }
};
using Connection = std::unique_ptr<http_t, HttpDeleter>;

struct OptionsDeleter {
    int count = 0;
    void operator()(cups_option_t* options) const { cupsFreeOptions(count, options); }
};

PrintError LastError(const std::string& printer) {
    return PrintError{"printer " + printer + ": " + cupsLastErrorString()};
}

// "Custom.60x30mm": the size in the form IPP's media names take.
std::string MediaName(double widthMm, double heightMm) {
    char text[64];
    std::snprintf(text, sizeof text, "Custom.%gx%gmm", widthMm, heightMm);
    return text;
}

}  // namespace

std::variant<int, PrintError> PrintPdf(const std::string& printer, const std::string& title,
                                       std::string_view pdf, double widthMm, double heightMm) {
    const Connection http(httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC,
                                       cupsEncryption(), 1, 10000, nullptr));
    if (!http) return PrintError{"no print scheduler answers at " + std::string(cupsServer())};
    if (cups_dest_t* dest = cupsGetNamedDest(http.get(), printer.c_str(), nullptr))
        cupsFreeDests(1, dest);
    else
        return PrintError{"no printer named '" + printer + "' at " + cupsServer() +
                          " (lpstat -p lists them)"};
    cups_option_t* raw = nullptr;
    const int count = cupsAddOption("media", MediaName(widthMm, heightMm).c_str(), 0, &raw);
    const std::unique_ptr<cups_option_t, OptionsDeleter> options(raw, OptionsDeleter{count});
    const int job = cupsCreateJob(http.get(), printer.c_str(), title.c_str(), count, options.get());
    if (job == 0) return LastError(printer);
    if (cupsStartDocument(http.get(), printer.c_str(), job, title.c_str(), CUPS_FORMAT_PDF, 1) !=
        HTTP_STATUS_CONTINUE)
        return LastError(printer);
    if (cupsWriteRequestData(http.get(), pdf.data(), pdf.size()) != HTTP_STATUS_CONTINUE) {
        cupsFinishDocument(http.get(), printer.c_str());
        return LastError(printer);
    }
    if (cupsFinishDocument(http.get(), printer.c_str()) != IPP_STATUS_OK) return LastError(printer);
    return job;
}

}  // namespace imgdl::labels
