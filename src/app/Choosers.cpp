#include "app/Choosers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QUrl>

namespace tessaline {

namespace {

constexpr const char* kCombinationFilter = "Combination definition files (*.cmb)";

QString RunFileDialog(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

}  // namespace

QString ChooseCombinationFile(QWidget* owner, const QString& initialDirectory) {
    QFileDialog dialog(owner, "Open Combination File", initialDirectory, kCombinationFilter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return RunFileDialog(dialog);
}

QString ChooseCombinationSaveFile(QWidget* owner, const QString& initialDirectory,
                                  const QString& proposedName) {
    QFileDialog dialog(owner, "Save Combination File As", initialDirectory, kCombinationFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix("cmb");
    // Replacing a file is confirmed by the dialog itself (the default).
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.selectFile(proposedName);
    return RunFileDialog(dialog);
}

QString ChooseRecordingDirectory(QWidget* owner, const QString& initialDirectory) {
    QFileDialog dialog(owner, "Choose Output Recording Directory", initialDirectory);
    // Qt's own dialog, so that the check box can join its layout.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setLabelText(QFileDialog::LookIn, "&Directory:");
    dialog.setLabelText(QFileDialog::FileName, "&Selected:");
    dialog.setLabelText(QFileDialog::Accept, "Open");
    // The folder label has no partner of its own, so its "&" would show as is.
    if (auto* label = dialog.findChild<QLabel*>("lookInLabel"))
        label->setBuddy(dialog.findChild<QComboBox*>("lookInCombo"));
    auto* showFiles = new QCheckBox("Show &Files", &dialog);
    QObject::connect(showFiles, &QCheckBox::toggled, &dialog,
                     [&dialog](bool on) { dialog.setOption(QFileDialog::ShowDirsOnly, !on); });
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(showFiles, grid->rowCount(), 0, 1, grid->columnCount());
    QString chosen = RunFileDialog(dialog);
    return chosen.isEmpty() ? chosen : WithoutTrailingSeparator(chosen);
}

QString WithoutTrailingSeparator(const QString& path) {
    QString folder = path;
    while (folder.size() > 1 && folder.endsWith('/')) folder.chop(1);
    return folder;
}

bool OpenDocument(const QString& path) {
    // The desktop's opener is started even for a missing file; it would then
    // complain in its own words, or not at all.
    if (!QFileInfo(path).isFile()) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

bool OpenWebAddress(const QString& address) { return QDesktopServices::openUrl(QUrl(address)); }

}  // namespace tessaline
