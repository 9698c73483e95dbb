#pragma once
// A small real network on this machine for the station's tests: a namespace for the
// station and one per unit, each unit joined to the station by a veth pair (the station's
// end "vsN", the unit's "vuN"), every unit at the factory address 192.168.0.1 with the
// Ethernet address the test gives it. Nothing is routed out of the namespaces; all of it
// is removed when the bench goes. Needs root (CI runs as root); skipped otherwise.
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace imgdl::test {

class NetBench {
  public:
    explicit NetBench(int units) : station_("imgdl-st-" + std::to_string(::getpid())) {
        if (::geteuid() != 0 || std::system("command -v ip > /dev/null") != 0) {
            skip_ = "network namespaces need root and iproute2";
            return;
        }
        if (!run("ip netns add " + station_)) {
            skip_ = "network namespaces are not allowed here";
            return;
        }
        made_.push_back(station_);
        run("ip -n " + station_ + " link set lo up");
        for (int i = 0; i < units; ++i)
            if (!addUnit(i)) {
                skip_ = "cannot wire unit " + std::to_string(i) + " to the station";
                return;
            }
    }
    ~NetBench() {
        for (const auto& ns : made_) {
            run("ip netns pids " + ns + " | xargs -r kill -9");
            run("ip netns del " + ns);
        }
    }
    NetBench(const NetBench&) = delete;
    NetBench& operator=(const NetBench&) = delete;

    const std::string& skipReason() const { return skip_; }
    // A command line run inside the station's namespace, or a unit's.
    std::string inStation(const std::string& command) const {
        return "ip netns exec " + station_ + " " + command;
    }
    std::string inUnit(int i, const std::string& command) const {
        return "ip netns exec " + unit(i) + " " + command;
    }
    std::vector<std::string> inUnitArgv(int i, std::vector<std::string> argv) const {
        argv.insert(argv.begin(), {IpProgram(), "netns", "exec", unit(i)});
        return argv;
    }
    std::vector<std::string> inStationArgv(std::vector<std::string> argv) const {
        argv.insert(argv.begin(), {IpProgram(), "netns", "exec", station_});
        return argv;
    }
    // The unit's Ethernet address, as the harness (not the recorder) sets it; the link
    // goes down and up, as a unit's does when it restarts.
    bool setEthernet(int i, const std::string& mac) {
        const std::string dev = " dev vu" + std::to_string(i);
        return run("ip -n " + unit(i) + " link set" + dev + " down") &&
               run("ip -n " + unit(i) + " link set" + dev + " address " + mac) &&
               run("ip -n " + unit(i) + " link set" + dev + " up");
    }

    // The unit's Ethernet address changed with its link up, as behind a switch: nothing
    // tells the station's kernel, whose neighbour entry keeps the old one.
    bool changeEthernet(int i, const std::string& mac) {
        return run("ip -n " + unit(i) + " link set dev vu" + std::to_string(i) + " address " + mac);
    }
    // The unit's end of its cable, as when it is pulled out or plugged in again.
    bool setLink(int i, bool up) {
        return run("ip -n " + unit(i) + " link set dev vu" + std::to_string(i) +
                   (up ? " up" : " down"));
    }

  private:
    static std::string IpProgram() {
        for (const char* path : {"/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip", "/bin/ip"})
            if (::access(path, X_OK) == 0) return path;
        return "ip";
    }
    std::string unit(int i) const { return station_ + "-u" + std::to_string(i); }
    static bool run(const std::string& command) {
        return std::system((command + " > /dev/null 2>&1").c_str()) == 0;
    }
    bool addUnit(int i) {
        const std::string u = unit(i), n = std::to_string(i);
        if (!run("ip netns add " + u)) return false;
        made_.push_back(u);
        return run("ip -n " + u + " link set lo up") &&
               run("ip link add vs" + n + " netns " + station_ + " type veth peer name vu" + n +
                   " netns " + u) &&
               run("ip -n " + u + " link set vu" + n + " address 02:00:00:00:00:01") &&
               run("ip -n " + u + " addr add 192.168.0.1/24 dev vu" + n) &&
               run("ip -n " + u + " link set vu" + n + " up") &&
               run("ip -n " + station_ + " addr add 192.168.0.2/24 dev vs" + n) &&
               run("ip -n " + station_ + " link set vs" + n + " up");
    }

    std::string station_;
    std::vector<std::string> made_;
    std::string skip_;
};

}  // namespace imgdl::test
