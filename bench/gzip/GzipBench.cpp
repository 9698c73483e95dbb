// GzipInflater::unzip against zlib's inflate on the same gzip members:
// firmware-like binaries, text and random bytes, 4 MiB each, compressed at
// level 9. Prints MB/s of uncompressed output for both and their ratio.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "gzip/GzipInflater.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kPayloadSize = 4 * 1024 * 1024;

// Concatenates regular files from `dir` (sorted by name) whose first bytes
// match `accept` until `size` bytes are gathered.
Bytes Gather(const fs::path& dir, std::size_t size, bool (*accept)(const Bytes&)) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(dir, ec))
        if (e.is_regular_file(ec) && !e.is_symlink(ec)) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    Bytes out;
    for (const auto& f : files) {
        if (out.size() >= size) break;
        std::ifstream in(f, std::ios::binary);
        Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (accept(bytes)) out.insert(out.end(), bytes.begin(), bytes.end());
    }
    out.resize(std::min(out.size(), size));
    return out;
}

bool IsElf(const Bytes& b) {
    return b.size() > 4 && b[0] == 0x7F && b[1] == 'E' && b[2] == 'L';
}
bool IsText(const Bytes& b) {
    return !b.empty() && std::none_of(b.begin(), b.end(), [](std::uint8_t c) { return c == 0; });
}

Bytes RandomBytes(std::size_t size) {
    std::mt19937 rng(42);
    Bytes out(size);
    for (auto& b : out) b = static_cast<std::uint8_t>(rng());
    return out;
}

Bytes GzipMember(const Bytes& data) {
    z_stream zs{};
    deflateInit2(&zs, 9, Z_DEFLATED, 16 + 15, 9, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&zs, data.size()) + 64);
    zs.next_in = const_cast<Bytef*>(data.data());
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

struct Payload {
    Bytes plain;
    Bytes member;
};

const Payload& GetPayload(const std::string& name) {
    static std::map<std::string, Payload> payloads = [] {
        std::map<std::string, Payload> p;
        p["firmware"].plain = Gather("/usr/bin", kPayloadSize, IsElf);
        p["text"].plain = Gather("/usr/include", kPayloadSize, IsText);
        p["random"].plain = RandomBytes(kPayloadSize);
        for (auto& [name, payload] : p) payload.member = GzipMember(payload.plain);
        return p;
    }();
    return payloads.at(name);
}

void BM_Unzip(benchmark::State& state, const std::string& name) {
    const Payload& payload = GetPayload(name);
    Bytes input = payload.member;
    Bytes region(payload.plain.size());
    for (auto _ : state) {
        imgdl::MemoryStream in = imgdl::openMemoryStream(input.data(), input.size());
        imgdl::MemoryStream out = imgdl::openMemoryStream(region.data(), region.size());
        if (imgdl::GzipInflater::unzip(in, out) != 0) state.SkipWithError("unzip failed");
        benchmark::DoNotOptimize(region.data());
    }
    if (region != payload.plain) state.SkipWithError("unzip output differs");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * payload.plain.size()));
    state.counters["ratio"] = double(payload.member.size()) / double(payload.plain.size());
}

void BM_ZlibInflate(benchmark::State& state, const std::string& name) {
    const Payload& payload = GetPayload(name);
    Bytes region(payload.plain.size());
    for (auto _ : state) {
        z_stream zs{};
        inflateInit2(&zs, 16 + 15);
        zs.next_in = const_cast<Bytef*>(payload.member.data());
        zs.avail_in = static_cast<uInt>(payload.member.size());
        zs.next_out = region.data();
        zs.avail_out = static_cast<uInt>(region.size());
        if (inflate(&zs, Z_FINISH) != Z_STREAM_END) state.SkipWithError("inflate failed");
        inflateEnd(&zs);
        benchmark::DoNotOptimize(region.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * payload.plain.size()));
    state.counters["ratio"] = double(payload.member.size()) / double(payload.plain.size());
}

// Console output plus a closing table: MB/s of both decoders and unzip / zlib.
class SideBySideReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            const auto it = run.counters.find("bytes_per_second");
            if (it != run.counters.end()) rates_[run.benchmark_name()] = it->second.value / 1e6;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-10s %14s %14s %8s\n", "payload", "unzip MB/s", "zlib MB/s", "ratio");
        for (const char* name : {"firmware", "text", "random"}) {
            const double ours = Rate("BM_Unzip/", name);
            const double zlib = Rate("BM_ZlibInflate/", name);
            std::printf("%-10s %14.1f %14.1f %8.2f\n", name, ours, zlib,
                        zlib > 0 ? ours / zlib : 0);
        }
    }

  private:
    double Rate(const std::string& prefix, const std::string& name) const {
        const auto it = rates_.find(prefix + name);
        return it == rates_.end() ? 0.0 : it->second;
    }
    std::map<std::string, double> rates_;
};

}  // namespace

int main(int argc, char** argv) {
    for (const char* name : {"firmware", "text", "random"}) {
        const std::string n = name;
        benchmark::RegisterBenchmark(("BM_Unzip/" + n).c_str(), BM_Unzip, n)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BM_ZlibInflate/" + n).c_str(), BM_ZlibInflate, n)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    SideBySideReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
