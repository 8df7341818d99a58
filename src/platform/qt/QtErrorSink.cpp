#include "platform/qt/QtErrorSink.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace tessaline {

QtErrorSink::QtErrorSink() : previous(SetErrorSink(this)) {}

QtErrorSink::~QtErrorSink() { SetErrorSink(previous); }

QWidget* QtErrorSink::ChooseOwner() const {
    if (mainWindow.isNull()) return nullptr;
    if (!loadingDialog.isNull()) return loadingDialog;
    if (QWidget* active = QApplication::activeWindow()) return active;
    return mainWindow;
}

void QtErrorSink::Show(const std::string& boxText, const std::string&, const std::string&) {
    QString text = QString::fromStdString(boxText);
    if (QThread::currentThread() != context.thread()) {
        // The owner is chosen when the box comes up on the UI thread.
        QMetaObject::invokeMethod(
            &context, [this, text] { ShowBox(ChooseOwner(), text); }, Qt::QueuedConnection);
        return;
    }
    ShowBox(ChooseOwner(), text);
}

std::unique_ptr<QMessageBox> QtErrorSink::MakeBox(QWidget* owner, const QString& boxText) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::NoIcon, "Tessaline Error", boxText,
                                             QMessageBox::Ok, owner);
    box->setWindowModality(owner != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
    return box;
}

void QtErrorSink::ShowBox(QWidget* owner, const QString& boxText) {
    MakeBox(owner, boxText)->exec();
}

}  // namespace tessaline
