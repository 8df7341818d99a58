#pragma once
// The error sink of the application: a modal message box titled "Tessaline
// Error" with the box text, an OK button only and no icon.
//
// Owner of the box: none before the main window exists; the loading dialog
// while it runs; else the window active in the application; else the main
// window. On the UI thread the call returns when the player has closed the
// box. On any other thread (audio timer, MIDI) the box is queued to the UI
// thread and the call returns at once, so those threads never wait on it.

#include <QPointer>
#include <QWidget>
#include <atomic>
#include <memory>

#include "platform/ErrorReporting.h"

class QMessageBox;

namespace tessaline {

class QtErrorSink : public ErrorSink {
public:
    // Installs itself as ReportError's sink for its lifetime. Construct on the
    // UI thread, after the QApplication.
    QtErrorSink();
    ~QtErrorSink() override;
    QtErrorSink(const QtErrorSink&) = delete;
    QtErrorSink& operator=(const QtErrorSink&) = delete;

    // UI. The main window once it exists (nullptr when it goes).
    void SetMainWindow(QWidget* window) { mainWindow = window; }
    // UI. The loading dialog while it runs, nullptr when it has finished.
    void SetLoadingDialog(QWidget* dialog) { loadingDialog = dialog; }

    // UI. The window that owns a box shown now.
    QWidget* ChooseOwner() const;

    void Show(const std::string& boxText, const std::string& message,
              const std::string& attemptedAction) override;

    // The box as it is shown (not yet run).
    static std::unique_ptr<QMessageBox> MakeBox(QWidget* owner, const QString& boxText);

protected:
    // UI. Runs the box modally; tests replace it.
    virtual void ShowBox(QWidget* owner, const QString& boxText);

private:
    // Queued boxes are delivered through it, so none outlives the sink.
    QObject context;
    QPointer<QWidget> mainWindow;
    QPointer<QWidget> loadingDialog;
    ErrorSink* previous = nullptr;
};

}  // namespace tessaline
