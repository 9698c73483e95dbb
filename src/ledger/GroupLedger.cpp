#include "ledger/GroupLedger.h"

#include <pthread.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "ledger/SqlLedger.h"

namespace imgdl::ledger {
namespace {

// One caller's operation, waiting for the connection's thread.
struct Job {
    Job(const std::function<LedgerError(Ledger&)>& r, bool b) : run(r), batched(b) {}
    const std::function<LedgerError(Ledger&)>& run;
    bool batched = false;  // a change that may share its transaction with others
    LedgerError result;
    bool finished = false;
    // Wakes its caller alone, not every waiting port. Not a semaphore: its wait spins
    // with sched_yield first, which under load costs a busy station more than the wait.
    std::condition_variable done;
};

class GroupLedger final : public Ledger {
  public:
    explicit GroupLedger(std::unique_ptr<BatchLedger> inner)
        : inner_(std::move(inner)), thread_([this] { serve(); }) {}
    ~GroupLedger() override {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    GroupLedger(const GroupLedger&) = delete;
    GroupLedger& operator=(const GroupLedger&) = delete;

    LedgerError init(std::string_view macFirst, std::string_view macLast,
                     std::uint64_t serialFirst) override {
        return alone([&](Ledger& l) { return l.init(macFirst, macLast, serialFirst); });
    }
    LedgerResult<Allocation> allocate(const AllocationRequest& request) override {
        return batched<Allocation>([&](Ledger& l) { return l.allocate(request); });
    }
    LedgerResult<Allocation> recordUnnumbered(const AllocationRequest& request) override {
        return batched<Allocation>([&](Ledger& l) { return l.recordUnnumbered(request); });
    }
    LedgerError release(std::int64_t id, std::string_view message,
                        std::string_view cause) override {
        return submit([&](Ledger& l) { return l.release(id, message, cause); }, true);
    }
    LedgerError markUncertain(std::int64_t id, std::string_view message,
                              std::string_view cause) override {
        return submit([&](Ledger& l) { return l.markUncertain(id, message, cause); }, true);
    }
    LedgerError finish(std::int64_t id, Outcome outcome, std::string_view message,
                       std::string_view cause) override {
        return submit([&](Ledger& l) { return l.finish(id, outcome, message, cause); }, true);
    }
    LedgerError settle(std::uint64_t mac, SettleAs as, std::string_view note,
                       std::string_view who) override {
        return alone([&](Ledger& l) { return l.settle(mac, as, note, who); });
    }
    LedgerResult<std::uint32_t> countLabelPrint(std::int64_t id) override {
        return batched<std::uint32_t>([&](Ledger& l) { return l.countLabelPrint(id); });
    }
    LedgerResult<LedgerStatus> status() override {
        return read<LedgerStatus>([](Ledger& l) { return l.status(); });
    }
    LedgerError checkWritable() override {
        return alone([](Ledger& l) { return l.checkWritable(); });
    }
    LedgerResult<std::vector<UnitRecord>> list() override {
        return read<std::vector<UnitRecord>>([](Ledger& l) { return l.list(); });
    }
    LedgerResult<std::vector<UnitRecord>> listSince(std::string_view utc) override {
        return read<std::vector<UnitRecord>>([&](Ledger& l) { return l.listSince(utc); });
    }
    LedgerResult<std::optional<UnitRecord>> unitHolding(std::uint64_t mac) override {
        return read<std::optional<UnitRecord>>([&](Ledger& l) { return l.unitHolding(mac); });
    }

  private:
    template <class T, class F>
    LedgerResult<T> withValue(F&& operation, bool batch) {
        std::optional<LedgerResult<T>> out;
        const LedgerError e = submit(
            [&](Ledger& l) {
                out.emplace(operation(l));
                return out->ok() ? LedgerError{} : out->error();
            },
            batch);
        // A value whose transaction did not commit was never handed out.
        if (e.failed()) return e;
        return std::move(*out);
    }
    template <class T, class F>
    LedgerResult<T> batched(F&& operation) {
        return withValue<T>(std::forward<F>(operation), true);
    }
    template <class T, class F>
    LedgerResult<T> read(F&& operation) {
        return withValue<T>(std::forward<F>(operation), false);
    }
    template <class F>
    LedgerError alone(F&& operation) {
        return submit(std::forward<F>(operation), false);
    }

    LedgerError submit(std::function<LedgerError(Ledger&)> run, bool batch) {
        Job job(run, batch);
        std::unique_lock lock(mutex_);
        queue_.push_back(&job);
        wake_.notify_one();
        job.done.wait(lock, [&] { return job.finished; });
        return job.result;
    }

    void serve() {
        ::pthread_setname_np(::pthread_self(), "ledger");
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) return;
            std::deque<Job*> taken;
            taken.swap(queue_);
            lock.unlock();
            runAll(taken);
            lock.lock();
            for (Job* job : taken) {
                job->finished = true;
                job->done.notify_one();
            }
        }
    }

    // Reads and one-off operations each in their own transaction; the changes together.
    void runAll(const std::deque<Job*>& jobs) {
        std::vector<Job*> changes;
        for (Job* job : jobs) {
            if (job->batched)
                changes.push_back(job);
            else
                job->result = job->run(*inner_);
        }
        if (changes.size() == 1) changes.front()->result = changes.front()->run(*inner_);
        if (changes.size() < 2) return;
        if (const LedgerError e = inner_->beginBatch(); e.failed()) {
            for (Job* job : changes) job->result = e;
            return;
        }
        for (Job* job : changes) job->result = job->run(*inner_);
        if (const LedgerError e = inner_->endBatch(true); e.failed())
            for (Job* job : changes)
                if (!job->result.failed()) job->result = e;
    }

    std::unique_ptr<BatchLedger> inner_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job*> queue_;
    bool stopping_ = false;
    std::thread thread_;  // last: it starts once everything above is there
};

}  // namespace

LedgerResult<std::shared_ptr<Ledger>> OpenGroupLedger(std::string_view location,
                                                      WaitLimits limits) {
    auto opened = OpenBatchLedger(location, {}, std::move(limits));
    if (!opened.ok()) return opened.error();
    return std::shared_ptr<Ledger>(std::make_shared<GroupLedger>(std::move(opened).value()));
}

}  // namespace imgdl::ledger
