#include "app/DownloadProgressDialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include "app/DownloadEventSink.h"
#include "res/StringTable.h"
#include "session/DownloadProtocol.h"
#include "session/SessionThread.h"
#include "session/StageTexts.h"
#include "ui/WindowFit.h"

namespace imgdl {

namespace {

bool IsRefusedKey(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape ||
           key == Qt::Key_Space || key == Qt::Key_F4;
}

}  // namespace

DownloadProgressDialog::DownloadProgressDialog(DownloadJob job, QWidget* parent,
                                               MessageService& messages)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      messages_(messages),
      sink_(std::make_shared<QtDownloadSink>(this)) {
    job.window = sink_;
    job_ = std::make_shared<const DownloadJob>(std::move(job));
    setWindowTitle(QStringLiteral("Download"));
    setModal(true);
    buildControls();
}

DownloadProgressDialog::~DownloadProgressDialog() {
    sink_->detach();
    if (worker_ && !worker_->finish())
        messages_.showMessage(LoadString(IDS_TERMINATION_ERROR), MessageButtons::Ok);
}

void DownloadProgressDialog::buildControls() {
    setFont(QFont(QStringLiteral("Arial"), 14));
    top_ = new QLabel(this);
    middle_ = new QLabel(this);
    bottom_ = new QLabel(this);
    bar_ = new QProgressBar(this);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    top_->setObjectName(QStringLiteral("topText"));
    middle_->setObjectName(QStringLiteral("middleText"));
    bottom_->setObjectName(QStringLiteral("bottomText"));
    bar_->setObjectName(QStringLiteral("progressBar"));
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget* w : {static_cast<QWidget*>(top_), static_cast<QWidget*>(middle_),
                       static_cast<QWidget*>(bar_), static_cast<QWidget*>(bottom_)})
        layout->addWidget(w);
    SetScreenFittingLayout(*this, body, nullptr);
    // 176 dialog units wide: a dialog unit is a quarter of the average character width.
    setMinimumWidth(QFontMetrics(font()).averageCharWidth() * 176 / 4);
}

QString DownloadProgressDialog::topText() const {
    return top_->text();
}
QString DownloadProgressDialog::middleText() const {
    return middle_->text();
}
QString DownloadProgressDialog::bottomText() const {
    return bottom_->text();
}
int DownloadProgressDialog::progress() const {
    return bar_->value();
}

void DownloadProgressDialog::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!worker_ && !ended_) startWorker();
}

void DownloadProgressDialog::startWorker() {
    worker_ = std::make_unique<SessionWorkerThread>(job_);
    // Without a worker the session cannot run; say so and let the window close.
    if (!worker_->started()) sink_->error(ERR_NETWORK);
}

bool DownloadProgressDialog::event(QEvent* e) {
    if (e->type() != SessionEventMessage::eventType()) return QDialog::event(e);
    const auto* m = static_cast<SessionEventMessage*>(e);
    if (m->kind() == SessionEventMessage::Kind::Error && !ended_) cause_ = m->cause();
    handleReport(m->kind(), m->value());
    return true;
}

void DownloadProgressDialog::handleReport(SessionEventMessage::Kind kind, std::uint32_t value) {
    if (ended_) return;
    switch (kind) {
        case SessionEventMessage::Kind::Stage:
            showStage(value);
            break;
        case SessionEventMessage::Kind::Error:
            showError(value);
            break;
        case SessionEventMessage::Kind::Progress:
            bar_->setValue(static_cast<int>(std::min(value, 100u)));
            break;
    }
}

namespace {

void ShowText(QLabel& label, std::string_view text) {
    if (!text.empty())
        label.setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace

void DownloadProgressDialog::showStage(std::uint32_t stage) {
    if (stage == STAGE_DONE) {
        endSession(QDialog::Accepted);
        return;
    }
    if (const auto texts = StageTextsOf(static_cast<int>(stage))) {
        ShowText(*top_, texts->top);
        ShowText(*middle_, texts->middle);
        ShowText(*bottom_, texts->bottom);
    }
}

void DownloadProgressDialog::showError(std::uint32_t code) {
    // Mark the end first: no further message is shown over the box.
    ended_ = true;
    error_ = static_cast<int>(code);
    if (const auto id = ErrorMessageId(static_cast<int>(code)))
        messages_.showMessage(LoadString(*id), MessageButtons::Ok, MessageIcon::Default, cause_);
    endSession(QDialog::Rejected);
}

void DownloadProgressDialog::endSession(int result) {
    ended_ = true;
    done(result);
}

void DownloadProgressDialog::reject() {
    // Escape and the like end up here; only the session may close the window.
    if (ended_) QDialog::reject();
}

void DownloadProgressDialog::closeEvent(QCloseEvent* e) {
    if (ended_)
        QDialog::closeEvent(e);
    else
        e->ignore();
}

void DownloadProgressDialog::keyPressEvent(QKeyEvent* e) {
    if (IsRefusedKey(e->key())) {
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

}  // namespace imgdl
