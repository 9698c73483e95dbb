#include "gzip/Diagnostics.h"

namespace imgdl::gzip {
namespace {

class StreamSink final : public DiagnosticSink {
  public:
    explicit StreamSink(std::FILE* stream) : stream_(stream) {}
    void write(const char* text) override { std::fprintf(stream_, "%s", text); }

  private:
    std::FILE* stream_;
};

class NullSink final : public DiagnosticSink {
  public:
    void write(const char*) override {}
};

}  // namespace

// The sinks hold no state of their own, so one instance each serves every thread.
DiagnosticSink& StandardOutputSink() {
    static StreamSink sink(stdout);
    return sink;
}

DiagnosticSink& StandardErrorSink() {
    static StreamSink sink(stderr);
    return sink;
}

DiagnosticSink& DiscardSink() {
    static NullSink sink;
    return sink;
}

}  // namespace imgdl::gzip
