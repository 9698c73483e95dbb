#pragma once
// Sends a rendered PDF to a CUPS printer: any label printer with a CUPS driver. The
// scheduler is the one libcups finds (CUPS_SERVER, ~/.cups/client.conf, the system's).
#include <string>
#include <string_view>
#include <variant>

namespace imgdl::labels {

struct PrintError {
    std::string message;  // the scheduler's own words
};

// The job's id once the scheduler has taken the whole document. The media is asked for
// as the label's size, so that the driver feeds and cuts labels, not sheets.
std::variant<int, PrintError> PrintPdf(const std::string& printer, const std::string& title,
                                       std::string_view pdf, double widthMm, double heightMm);

}  // namespace imgdl::labels
