#pragma once
// The modal window of one download session. It starts the worker when it is first
// shown, shows the stages and the progress the worker reports, shows the message of an
// error and closes itself: Accepted after STAGE_DONE, Rejected after an error. The
// operator cannot close it (no close button or system menu; Enter, Escape, Space, F4,
// Alt+F4 and the window manager's close request do nothing).
//
//   DownloadProgressDialog window(MakeDownloadJob(request), parent, service);
//   if (service.runModal(window) == QDialog::Accepted) ...
#include <QDialog>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "app/DownloadEventSink.h"
#include "res/MessageService.h"
#include "session/DownloadJob.h"

class QLabel;
class QProgressBar;

namespace imgdl {

class SessionWorkerThread;

class DownloadProgressDialog : public QDialog {
    Q_OBJECT
  public:
    // The job's sink is set to this window. Its payload owner, when set, keeps the
    // payload alive for a worker that outlives the window; without it the caller keeps
    // `data` valid until the window is destroyed.
    DownloadProgressDialog(DownloadJob job, QWidget* parent, MessageService& messages);
    // Waits for the worker at most 5000 ms; if it is still running, says so (string 105)
    // and leaves it running on its own copy of the job.
    ~DownloadProgressDialog() override;

    const DownloadJob& job() const { return *job_; }
    QString topText() const;
    QString middleText() const;
    QString bottomText() const;
    int progress() const;
    // The error code the session ended with; 0 when it reported none.
    int sessionError() const { return error_; }
    // Why it failed, as the worker said; empty when it said nothing.
    const std::string& sessionCause() const { return cause_; }

  public slots:
    void reject() override;

  protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

  private:
    void buildControls();
    void startWorker();
    void handleReport(SessionEventMessage::Kind kind, std::uint32_t value);
    void showStage(std::uint32_t stage);
    void showError(std::uint32_t code);
    void endSession(int result);

    MessageService& messages_;
    std::shared_ptr<QtDownloadSink> sink_;
    std::shared_ptr<const DownloadJob> job_;
    std::unique_ptr<SessionWorkerThread> worker_;
    QLabel* top_ = nullptr;
    QLabel* middle_ = nullptr;
    QLabel* bottom_ = nullptr;
    QProgressBar* bar_ = nullptr;
    bool ended_ = false;
    int error_ = 0;
    std::string cause_;
};

}  // namespace imgdl
