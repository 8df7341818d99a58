#pragma once
// The "Loading Organ" dialog: shown while the organ loader builds the organ's
// objects, with a bar that advances once per pipe and a "&Cancel" button.
// While it runs, error boxes are owned by it. The window stays responsive
// only through StepLoadingProgress, which dispatches the pending events.

#include <QDialog>

#include "platform/LoadingProgress.h"

class QProgressBar;
class QPushButton;
class QLabel;

namespace tessaline {

class QtErrorSink;

class LoadingDialog : public QDialog, public LoadingProgress {
    Q_OBJECT
public:
    // How long the dialog shows before the second pass starts.
    static constexpr int kStartDelayMilliseconds = 50;

    explicit LoadingDialog(QWidget* parent);

    // UI. The sink whose boxes the dialog owns while it runs (none: boxes go
    // elsewhere, as in tests).
    void SetErrorSink(QtErrorSink* errorSink) { sink = errorSink; }

    // UI. Opens the dialog for a load of total pipes and lets it show for
    // kStartDelayMilliseconds; the organ loader then runs the second pass.
    void Begin(uint32_t total) override;
    bool StepLoadingProgress() override;
    bool Cancelled() const override { return cancelled; }
    // UI. Closes the dialog once the load has ended, either way.
    void Finish();

    // UI. The player closed the main window during the load: the next pump
    // fails the load, and the window closes once the load has unwound.
    void RequestQuit() { quitRequested = true; }
    bool QuitRequested() const { return quitRequested; }
    void ClearQuitRequest() { quitRequested = false; }

    bool IsRunning() const { return running; }
    int Position() const;
    int Total() const;
    QPushButton* CancelButton() const { return cancelButton; }

public slots:
    // "&Cancel", Escape and the window's close button.
    void reject() override;

private:
    // Dispatches every pending event without blocking; false when a quit
    // was asked for meanwhile.
    bool PumpPendingMessages();

    QLabel* text;
    QProgressBar* bar;
    QPushButton* cancelButton;
    QtErrorSink* sink = nullptr;
    bool running = false;
    bool cancelled = false;
    bool quitRequested = false;
};

}  // namespace tessaline
