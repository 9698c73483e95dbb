#pragma once
// A CUPS scheduler of the test's own: its configuration, spool, logs and socket in the
// test's folder, one cups-pdf queue named "labels". The machine's own scheduler is never
// used. cups-pdf keeps jobs of an unknown user in its ANONYMOUS folder; the test finds
// its job there by the unit's MAC in the title and removes it.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "Background.h"

namespace imgdl::test {

class PrivateCups {
  public:
    static constexpr const char* kPrinter = "labels";
    static constexpr const char* kUser = "imgdl-label-test";  // no such account: anonymous
    static constexpr const char* kPpd = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd";
    static constexpr const char* kOut = "/var/spool/cups-pdf/ANONYMOUS";

    explicit PrivateCups(const std::filesystem::path& dir) : dir_(dir / "cups") {
        if (::geteuid() != 0) {
            skip_ = "the cups-pdf backend runs only under a scheduler started as root";
            return;
        }
        for (const char* needed :
             {"/usr/sbin/cupsd", "/usr/sbin/lpadmin", "/usr/lib/cups/backend/cups-pdf", kPpd})
            if (::access(needed, F_OK) != 0) {
                skip_ = std::string(needed) + " is missing (cups, printer-driver-cups-pdf)";
                return;
            }
        configure();
        cupsd_ = std::make_unique<Background>(
            std::vector<std::string>{"/usr/sbin/cupsd", "-f", "-c", file("cupsd.conf"), "-s",
                                     file("cups-files.conf")},
            file("cupsd.out"), file("cupsd.err"));
        if (!answering()) {
            skip_ = "the private cupsd did not start: " + ReadText(file("cupsd.err")) +
                    ReadText(file("log/error_log"));
            return;
        }
        const std::string add = "/usr/sbin/lpadmin -h '" + socket() + "' -p " + kPrinter +
                                " -E -v cups-pdf:/ -P " + kPpd + " > /dev/null 2>&1";
        if (std::system(add.c_str()) != 0) skip_ = "lpadmin could not add the cups-pdf queue";
    }
    ~PrivateCups() {
        for (const auto& f : printed_) std::filesystem::remove(f);
    }

    const std::string& skipReason() const { return skip_; }
    std::string socket() const { return file("cups.sock"); }
    // The environment a client of this scheduler runs with.
    std::string clientEnvironment() const {
        return "env CUPS_SERVER='" + socket() + "' CUPS_USER=" + kUser + " ";
    }
    // The PDF cups-pdf wrote for a job whose title holds `part`, once it is there.
    std::optional<std::filesystem::path> printed(const std::string& part,
                                                 std::chrono::seconds limit) {
        const auto giveUp = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < giveUp) {
            std::error_code ec;
            for (const auto& entry : std::filesystem::directory_iterator(kOut, ec))
                // Whole once its trailer is written: cups-pdf writes it as it goes.
                if (entry.path().filename().string().find(part) != std::string::npos &&
                    entry.path().extension() == ".pdf" &&
                    ReadText(entry.path().string()).find("%%EOF") != std::string::npos) {
                    printed_.push_back(entry.path());
                    return entry.path();
                }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return std::nullopt;
    }

  private:
    std::string file(const std::string& name) const { return (dir_ / name).string(); }

    void configure() {
        for (const char* sub : {"spool", "cache", "state", "tmp", "log"})
            std::filesystem::create_directories(dir_ / sub);
        // The filters run as lp and write their temporary files here.
        ::chmod(file("tmp").c_str(), 01777);
        std::ofstream(file("cupsd.conf")) << "Listen " << socket()
                                          << "\nLogLevel warn\nWebInterface No\nBrowsing No\n"
                                             "<Location />\n  Order allow,deny\n  Allow all\n"
                                             "</Location>\n";
        std::ofstream(file("cups-files.conf"))
            << "ServerRoot " << dir_.string() << "\nRequestRoot " << file("spool") << "\nCacheDir "
            << file("cache") << "\nStateDir " << file("state") << "\nTempDir " << file("tmp")
            << "\nErrorLog " << file("log/error_log") << "\nAccessLog " << file("log/access_log")
            << "\nPageLog " << file("log/page_log") << "\nPrintcap " << file("printcap")
            << "\nServerBin /usr/lib/cups\nDataDir /usr/share/cups\nUser lp\nGroup lp\n";
    }
    bool answering() {
        for (int i = 0; i < 100; ++i) {
            if (!cupsd_->running()) return false;
            const std::string probe = "lpstat -h '" + socket() + "' -r > /dev/null 2>&1";
            if (std::filesystem::exists(socket()) && std::system(probe.c_str()) == 0) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }

    std::filesystem::path dir_;
    std::string skip_;
    std::unique_ptr<Background> cupsd_;
    std::vector<std::filesystem::path> printed_;
};

}  // namespace imgdl::test
