#include "app/LoadingDialog.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "platform/ErrorReporting.h"
#include "platform/qt/QtErrorSink.h"

namespace tessaline {

LoadingDialog::LoadingDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Loading Organ");
    setModal(true);
    text =
        new QLabel("Please wait whilst the organ is loaded. This may take a few minutes...", this);
    text->setWordWrap(true);
    bar = new QProgressBar(this);
    bar->setTextVisible(false);
    cancelButton = new QPushButton("&Cancel", this);
    connect(cancelButton, &QPushButton::clicked, this, &LoadingDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(bar);
    layout->addWidget(cancelButton, 0, Qt::AlignHCenter);
}

void LoadingDialog::Begin(uint32_t total) {
    // The whole count: a large organ has more pipes than a 16-bit range holds.
    bar->setRange(0, static_cast<int>(std::min<uint32_t>(total, INT_MAX)));
    bar->setValue(0);
    running = true;
    cancelled = false;
    if (sink != nullptr) sink->SetLoadingDialog(this);
    open();
    QEventLoop wait;
    QTimer::singleShot(kStartDelayMilliseconds, &wait, &QEventLoop::quit);
    wait.exec();
}

bool LoadingDialog::StepLoadingProgress() {
    if (bar->value() < bar->maximum()) bar->setValue(bar->value() + 1);
    if (cancelled) return false;
    return PumpPendingMessages();
}

void LoadingDialog::Finish() {
    running = false;
    if (sink != nullptr) sink->SetLoadingDialog(nullptr);
    done(cancelled ? Rejected : Accepted);
}

void LoadingDialog::reject() {
    if (!running) {
        QDialog::reject();
        return;
    }
    if (cancelled) return;
    cancelled = true;
    ReportError("Loading the organ has been cancelled by the user.", "Loading an organ.");
}

bool LoadingDialog::PumpPendingMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (!quitRequested) return true;
    ReportError("exit!", "test");
    return false;
}

int LoadingDialog::Position() const { return bar->value(); }

int LoadingDialog::Total() const { return bar->maximum(); }

}  // namespace tessaline
