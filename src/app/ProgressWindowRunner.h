#pragma once
// The main dialog's way of running a session: a modal progress window, which shows a
// failing session's message itself.
#include "flows/DownloadFlows.h"
#include "session/DownloadJob.h"

class QWidget;

namespace imgdl {

class DialogService;

class ProgressWindowRunner final : public SessionRunner {
  public:
    ProgressWindowRunner(QWidget* parent, DialogService& service)
        : parent_(parent), service_(service) {}
    SessionOutcome run(const SessionRequest& request) override;

    SessionTimeouts timeouts;  // tests shorten them

  private:
    QWidget* parent_;
    DialogService& service_;
};

}  // namespace imgdl
