#include "labels/UnitLabels.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "common/UniqueFd.h"
#include "common/UtcTime.h"
#include "labels/LabelPrint.h"
#include "labels/LabelRender.h"
#include "ledger/MacRange.h"

namespace imgdl::labels {
namespace {

// The local date of a ledger time, "2026-12-10"; the text itself when it does not parse.
std::string LocalDate(const std::string& utc) {
    const auto time = ParseUtcText(utc);
    if (!time) return utc.substr(0, 10);
    const std::time_t t = std::chrono::system_clock::to_time_t(*time);
    std::tm local{};
    localtime_r(&t, &local);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}

std::string ErrnoText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace

LabelData LabelFor(const ledger::UnitRecord& unit, bool notDone) {
    LabelData label;
    label.mac = unit.mac;
    label.serial = unit.serial;
    label.version = unit.imageVersion;
    label.date = LocalDate(unit.ended.empty() ? unit.started : unit.ended);
    if (unit.labelPrints > 0) label.mark = "REPRINT " + std::to_string(unit.labelPrints);
    if (notDone) {
        if (!label.mark.empty()) label.mark += ", ";
        label.mark += "NOT DONE: " + std::string(ledger::UnitResultName(unit.result));
    }
    return label;
}

std::string WriteFileWhole(const std::string& path, const std::string& bytes) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::is_directory(path, ec)) return path + ": is a folder";
    const fs::path target(path);
    std::string temp = (target.parent_path().empty() ? fs::path(".") : target.parent_path()) /
                       ("." + target.filename().string() + ".XXXXXX");
    UniqueFd fd(::mkstemp(temp.data()));
    if (!fd.valid()) return ErrnoText(path);
    ::fchmod(fd.get(), 0644);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const std::string error = ErrnoText(path);
            ::unlink(temp.c_str());
            return error;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd.get()) != 0 || ::rename(temp.c_str(), path.c_str()) != 0) {
        const std::string error = ErrnoText(path);
        ::unlink(temp.c_str());
        return error;
    }
    return {};
}

std::string MakeLabels(ledger::Ledger& ledger, const std::vector<ledger::UnitRecord>& units,
                       const std::vector<LabelData>& content, const LabelLayout& layout,
                       const LabelOutput& output) {
    if (!output.file.empty()) {
        const auto format = LabelFormatOf(output.file);
        if (!format) return output.file + ": not a .pdf, .png or .svg file";
        auto rendered = RenderLabels(content, layout, *format);
        if (auto* e = std::get_if<RenderError>(&rendered)) return e->message;
        if (std::string e = WriteFileWhole(output.file, std::get<std::string>(rendered));
            !e.empty())
            return e;
    }
    if (!output.printer.empty()) {
        auto rendered = RenderLabels(content, layout, LabelFormat::Pdf);
        if (auto* e = std::get_if<RenderError>(&rendered)) return e->message;
        const std::string title =
            "label " + BareMac(content.front().mac) +
            (content.size() > 1 ? " and " + std::to_string(content.size() - 1) + " more" : "");
        auto printed = PrintPdf(output.printer, title, std::get<std::string>(rendered),
                                layout.widthMm, layout.heightMm);
        if (auto* e = std::get_if<PrintError>(&printed)) return e->message;
    }
    for (const ledger::UnitRecord& unit : units)
        if (auto counted = ledger.countLabelPrint(unit.id); !counted.ok())
            return "the label is out, but the ledger did not count it: " + counted.error().message;
    return {};
}

}  // namespace imgdl::labels
