#pragma once
// imgdl station on a terminal: a live table of the ports instead of event lines, drawn
// again whenever a port moves (at most ten times a second).
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "station/Station.h"

namespace imgdl::cli {

class PortTable final : public station::PortListener {
  public:
    explicit PortTable(const std::vector<std::string>& ports);
    void portChanged(const station::PortEvent& event) override;
    // Draws the table from the top of the screen when something changed since.
    void draw(std::FILE* out, bool paused);

  private:
    struct Row {
        station::PortEvent event;
        std::chrono::steady_clock::time_point since;  // found, for the unit's time
    };
    std::string line(const Row& row, std::chrono::steady_clock::time_point now) const;

    std::mutex mutex_;
    std::vector<std::string> order_;
    std::map<std::string, Row> rows_;
    std::size_t done_ = 0, failed_ = 0;
    bool changed_ = true;
};

}  // namespace imgdl::cli
