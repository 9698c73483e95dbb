#pragma once
// The line window's own work on the ledger (its figures, a label made again) on a thread
// of its own: a ledger behind another program's lock, or on a server that no longer
// answers, holds that thread and never the window. Answers come back on the window's
// thread, through the functions given.
#include <QObject>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ledger/Ledger.h"
#include "line/LabelReprint.h"
#include "station/StationConfig.h"

namespace imgdl::line {

// What one refresh read: the ledger's status (or why not) and the shift's rows.
struct LedgerRead {
    std::optional<ledger::LedgerStatus> status;
    std::string error;
    std::optional<std::vector<ledger::UnitRecord>> rows;
};

struct ReaderState;  // the reader's and its thread's

struct ReprintDone {
    std::size_t port = 0;
    std::uint64_t mac = 0;
    Reprint made;
};

class LedgerReader : public QObject {
    Q_OBJECT
  public:
    using OnRead = std::function<void(LedgerRead)>;
    using OnReprint = std::function<void(ReprintDone)>;

    // `location` as the station's ledger; `since`: the shift's rows are those since then.
    LedgerReader(std::string location, std::string since, OnRead onRead, OnReprint onReprint,
                 QObject* parent = nullptr);
    // Waits a moment for the thread; one held by the ledger is left to end on its own,
    // and tells nobody.
    ~LedgerReader() override;

    // Reads again; asked while a read waits to start, it is that read.
    void refresh();
    void reprint(std::size_t port, std::uint64_t mac, const station::StationLabels& labels);
    // Since when the oldest request still unanswered has waited; nothing when none waits.
    std::optional<std::chrono::steady_clock::time_point> waitingSince() const;

  private:
    std::shared_ptr<ReaderState> shared_;  // the thread's too: it may outlive this
    std::thread thread_;
};

}  // namespace imgdl::line
