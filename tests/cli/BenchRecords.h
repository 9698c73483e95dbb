#pragma once
// What a run on the network bench leaves behind, read back: the events a station printed
// for each port, the session lines of every recorder plugged in, and the ledger's rows.
// AgreementProblems() holds them against one another and against the ledger's rule: a
// released number is handed out again, an uncertain, allocated or done one never.
#include <chrono>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "Background.h"

namespace imgdl::test {

// The events one station printed about one port, taken one after another as they come.
class PortEvents {
  public:
    PortEvents(std::string file, std::string port)
        : file_(std::move(file)), port_(std::move(port)) {}

    // The first event in one of `states` after those already taken; nothing within `limit`.
    std::optional<nlohmann::json> next(const std::set<std::string>& states,
                                       std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        const auto giveUp = std::chrono::steady_clock::now() + limit;
        do {
            const auto events = read();
            for (std::size_t i = taken_; i < events.size(); ++i)
                if (states.contains(events[i]["state"].get<std::string>())) {
                    taken_ = i + 1;
                    return events[i];
                }
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        } while (std::chrono::steady_clock::now() < giveUp);
        return std::nullopt;
    }
    // Every event of the port so far.
    std::vector<nlohmann::json> read() const {
        std::vector<nlohmann::json> found;
        const std::string text = ReadText(file_);
        // A line still being written is left for the next look.
        for (const auto& line : SplitLines(text.substr(0, text.rfind('\n') + 1))) {
            auto event = nlohmann::json::parse(line, nullptr, false);
            if (!event.is_discarded() && event.value("port", "") == port_)
                found.push_back(std::move(event));
        }
        return found;
    }
    const std::string& port() const { return port_; }
    // The first `count` events count as taken.
    void skipTo(std::size_t count) { taken_ = count; }

  private:
    std::string file_, port_;
    std::size_t taken_ = 0;
};

// A recorder's session line that carried a MAC and serial number.
struct IdentityLine {
    std::string plug;  // the recorder's output file
    std::string port;  // the station port it was plugged into
    int unit = 0;      // the physical unit, across its restarts
    std::string mac, serial, ending;
};

// The value of `key=` in a recorder's session line; `ending` runs to the line's end.
inline std::string LineField(const std::string& line, const std::string& key) {
    const auto at = line.find(" " + key + "=");
    if (at == std::string::npos) return {};
    const auto from = at + key.size() + 2;
    if (key == "ending") return line.substr(from);
    return line.substr(from, line.find(' ', from) - from);
}

// One recorder process the harness started: what it printed went to `output`.
struct Plug {
    std::string output;
    std::string port;
    int unit = 0;
};

inline std::vector<IdentityLine> IdentityLines(const std::vector<Plug>& plugs) {
    std::vector<IdentityLine> found;
    for (const Plug& p : plugs)
        for (const auto& line : SplitLines(ReadText(p.output))) {
            IdentityLine l{p.output,
                           p.port,
                           p.unit,
                           LineField(line, "mac"),
                           LineField(line, "serial"),
                           LineField(line, "ending")};
            if (!l.mac.empty()) found.push_back(std::move(l));
        }
    return found;
}

// Where the ledger's rows (`imgdl ledger list --json`, in the order handed out), the
// recorders' lines and the stations' done events disagree, or a number was used twice.
inline std::vector<std::string> AgreementProblems(const std::vector<nlohmann::json>& rows,
                                                  const std::vector<IdentityLine>& lines,
                                                  const std::vector<nlohmann::json>& doneEvents) {
    std::vector<std::string> problems;
    const auto say = [&](const std::string& what, const std::string& about) {
        problems.push_back(what + ": " + about);
    };
    std::map<std::string, const nlohmann::json*> heldBy;  // MAC -> its row that is not released
    std::set<std::uint64_t> doneSerials;
    for (const auto& row : rows) {
        const std::string mac = row["mac"], result = row["result"];
        if (result == "released") continue;
        if (!heldBy.emplace(mac, &row).second) say("a number handed out twice", row.dump());
        if (result == "done" && !doneSerials.insert(row["serial"].get<std::uint64_t>()).second)
            say("two done units with one serial", row.dump());
    }
    // Every released number went to a later row: the next allocations take them first.
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i]["result"] != "released") continue;
        bool again = false;
        for (std::size_t j = i + 1; j < rows.size() && !again; ++j)
            again = rows[j]["mac"] == rows[i]["mac"];
        if (!again) say("a released number not handed out again", rows[i].dump());
    }
    std::map<std::string, const IdentityLine*> received;  // MAC -> the line that got it
    std::map<int, int> identitiesOfUnit;
    for (const IdentityLine& l : lines) {
        const std::string about = l.plug + ": mac=" + l.mac + " serial=" + l.serial;
        if (++identitiesOfUnit[l.unit] > 1) say("a unit received a second identity", about);
        if (!received.emplace(l.mac, &l).second) say("two recorders received one MAC", about);
        const auto row = heldBy.find(l.mac);
        if (row == heldBy.end()) {
            say("a recorder holds a MAC the ledger released or never handed out", about);
            continue;
        }
        const auto& r = *row->second;
        if (std::to_string(r["serial"].get<std::uint64_t>()) != l.serial || r["port"] != l.port)
            say("the ledger's row is not what the recorder received", about + " " + r.dump());
        // A unit pulled out after its last answer is done, though the station only knows
        // it as uncertain; a row done is a recorder that answered everything.
        if (r["result"] == "done" && l.ending != "done")
            say("a done row whose recorder did not end its session", about + " " + r.dump());
        if (r["result"] != "done" && r["result"] != "uncertain")
            say("a recorder holds the MAC of a row neither done nor uncertain", r.dump());
    }
    for (const auto& [mac, row] : heldBy)
        if ((*row)["result"] == "done" && !received.contains(mac))
            say("a done row whose recorder never received it", row->dump());
    for (const auto& e : doneEvents) {
        const auto row = heldBy.find(e["mac"].get<std::string>());
        if (row == heldBy.end() || (*row->second)["result"] != "done" ||
            (*row->second)["serial"] != e["serial"] || (*row->second)["port"] != e["port"])
            say("a done event the ledger does not hold", e.dump());
    }
    return problems;
}

}  // namespace imgdl::test
