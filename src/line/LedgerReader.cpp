#include "line/LedgerReader.h"

#include <condition_variable>
#include <deque>
#include <mutex>

namespace imgdl::line {
namespace {

using Clock = std::chrono::steady_clock;

// A thread held by the ledger is not waited for longer than this at the window's end.
constexpr std::chrono::milliseconds kEndWait{300};

}  // namespace

// A read, or a label to make again.
struct ReaderJob {
    Clock::time_point asked;
    bool refresh = true;
    std::size_t port = 0;
    std::uint64_t mac = 0;
    station::StationLabels labels;
};

struct ReaderState {
    std::string location, since;
    QObject* target = nullptr;  // where answers go; valid until `stopping`
    LedgerReader::OnRead onRead;
    LedgerReader::OnReprint onReprint;

    std::mutex mutex;
    std::condition_variable wake, ended;
    std::deque<ReaderJob> jobs;
    bool refreshQueued = false;
    std::optional<Clock::time_point> running;  // asked when, the job the thread is at
    bool stopping = false;
    bool finished = false;

    void ask(ReaderJob job) {
        {
            const std::lock_guard lock(mutex);
            if (job.refresh) {
                if (refreshQueued) return;
                refreshQueued = true;
            }
            jobs.push_back(std::move(job));
        }
        wake.notify_one();
    }

    // The lock is held while posting, so that the target cannot go in between; posting
    // never waits for the window's thread.
    void answer(std::function<void()> deliver) {
        const std::lock_guard lock(mutex);
        running.reset();
        if (!stopping) QMetaObject::invokeMethod(target, std::move(deliver), Qt::QueuedConnection);
    }

    std::optional<ReaderJob> next() {
        std::unique_lock lock(mutex);
        wake.wait(lock, [this] { return stopping || !jobs.empty(); });
        if (stopping) return std::nullopt;
        ReaderJob job = std::move(jobs.front());
        jobs.pop_front();
        if (job.refresh) refreshQueued = false;
        running = job.asked;
        return job;
    }
};

namespace {

// The connection, opened when first needed and again after a failure (a server that
// went away and came back); nothing, with `error` set, when it cannot be opened.
ledger::Ledger* Connected(std::unique_ptr<ledger::Ledger>& ledger, const std::string& location,
                          std::string& error) {
    if (ledger) return ledger.get();
    auto opened = ledger::OpenLedger(location);
    if (!opened.ok()) {
        error = opened.error().message;
        return nullptr;
    }
    ledger = std::move(opened).value();
    return ledger.get();
}

LedgerRead Read(std::unique_ptr<ledger::Ledger>& ledger, const std::string& location,
                const std::string& since) {
    LedgerRead read;
    ledger::Ledger* l = Connected(ledger, location, read.error);
    if (!l) return read;
    if (auto status = l->status(); status.ok()) {
        read.status = status.value();
    } else {
        read.error = status.error().message;
        ledger.reset();
        return read;
    }
    if (auto rows = l->listSince(since); rows.ok()) read.rows = std::move(rows).value();
    return read;
}

void Work(const std::shared_ptr<ReaderState>& s) {
    std::unique_ptr<ledger::Ledger> ledger;  // this thread's alone
    while (auto job = s->next()) {
        if (job->refresh) {
            auto read = Read(ledger, s->location, s->since);
            s->answer([s, read = std::move(read)]() mutable { s->onRead(std::move(read)); });
            continue;
        }
        ReprintDone done{job->port, job->mac, {}};
        if (ledger::Ledger* l = Connected(ledger, s->location, done.made.error))
            done.made = ReprintLabel(*l, job->mac, job->labels);
        s->answer([s, done = std::move(done)]() mutable { s->onReprint(std::move(done)); });
    }
    {
        const std::lock_guard lock(s->mutex);
        s->finished = true;
    }
    s->ended.notify_all();
}

}  // namespace

LedgerReader::LedgerReader(std::string location, std::string since, OnRead onRead,
                           OnReprint onReprint, QObject* parent)
    : QObject(parent), shared_(std::make_shared<ReaderState>()) {
    shared_->location = std::move(location);
    shared_->since = std::move(since);
    shared_->target = this;
    shared_->onRead = std::move(onRead);
    shared_->onReprint = std::move(onReprint);
    thread_ = std::thread([s = shared_] { Work(s); });
}

LedgerReader::~LedgerReader() {
    std::unique_lock lock(shared_->mutex);
    shared_->stopping = true;
    shared_->jobs.clear();
    shared_->wake.notify_all();
    const bool ended =
        shared_->ended.wait_for(lock, kEndWait, [this] { return shared_->finished; });
    lock.unlock();
    // A read held by a lock or a silent server ends at its own deadline, answering nobody.
    if (ended)
        thread_.join();
    else
        thread_.detach();
}

void LedgerReader::refresh() {
    shared_->ask(ReaderJob{Clock::now(), true, 0, 0, {}});
}

void LedgerReader::reprint(std::size_t port, std::uint64_t mac,
                           const station::StationLabels& labels) {
    shared_->ask(ReaderJob{Clock::now(), false, port, mac, labels});
}

std::optional<Clock::time_point> LedgerReader::waitingSince() const {
    const std::lock_guard lock(shared_->mutex);
    if (shared_->running) return shared_->running;
    if (shared_->jobs.empty()) return std::nullopt;
    return shared_->jobs.front().asked;
}

}  // namespace imgdl::line
