// The File menu's file commands: the recent-file lists and their submenus,
// loading, saving and reloading combination files, and the directory for
// recordings.

#include <QAction>
#include <QMenu>

#include "app/MainWindow.h"
#include "platform/ErrorReporting.h"

namespace tessaline {

namespace {

constexpr const char* kLoadCombinationsAction = "Loading Tessaline organ combination file.";
constexpr const char* kSaveCombinationsAction = "Saving Tessaline organ combination file.";

}  // namespace

void MainWindow::RebuildRecentMenu(RecentKind kind) {
    const bool organs = kind == RecentKind::Organs;
    QMenu* menu = organs ? recentOrgansMenu : recentCombinationsMenu;
    if (menu == nullptr) return;
    // The placeholder goes with the old items and does not come back.
    menu->clear();
    RecentFiles::Entries entries = RecentFiles(devices.settings, kind).Read();
    const int firstCommand = organs ? kRecentOrganCommand : kRecentCombinationCommand;
    for (int i = 0; i < kRecentFileEntries; ++i) {
        const std::string& path = entries[static_cast<size_t>(i)];
        if (path.empty()) continue;
        QAction* item = menu->addAction(QString::fromStdString(RecentItemText(kind, i, path)));
        item->setData(firstCommand + i);
        // Queued: opening an entry rebuilds this menu, which deletes the item
        // that is still being triggered.
        connect(
            item, &QAction::triggered, this,
            [this, identifier = firstCommand + i] { RunRecentCommand(identifier); },
            Qt::QueuedConnection);
    }
}

void MainWindow::RebuildRecentOrganMenu() { RebuildRecentMenu(RecentKind::Organs); }

void MainWindow::RebuildRecentCombinationMenu() { RebuildRecentMenu(RecentKind::Combinations); }

void MainWindow::AddRecentOrgan(const std::string& path) {
    if (RecentFiles(devices.settings, RecentKind::Organs).Add(path)) RebuildRecentOrganMenu();
}

void MainWindow::AddRecentCombination(const std::string& path) {
    if (RecentFiles(devices.settings, RecentKind::Combinations).Add(path))
        RebuildRecentCombinationMenu();
}

bool MainWindow::OpenRecentOrgan(int index) {
    std::string path;
    if (!RecentFiles(devices.settings, RecentKind::Organs).Entry(index, path)) return false;
    if (!LoadOrganFromPath(path)) {
        ReportError("Could not load and activate organ.", "Loading Tessaline organ.");
        return false;
    }
    return true;
}

bool MainWindow::OpenRecentCombination(int index) {
    std::string path;
    if (!RecentFiles(devices.settings, RecentKind::Combinations).Entry(index, path)) return false;
    if (!LoadCombinationFile(path, false)) {
        ReportError("Could not load combination file.", "Loading Tessaline combination file.");
        return false;
    }
    return true;
}

void MainWindow::RunRecentCommand(int identifier) {
    constexpr int kRouted = kRecentFileEntries + 1;
    if (identifier >= kRecentOrganCommand && identifier < kRecentOrganCommand + kRouted)
        OpenRecentOrgan(identifier - kRecentOrganCommand);
    else if (identifier >= kRecentCombinationCommand &&
             identifier < kRecentCombinationCommand + kRouted)
        OpenRecentCombination(identifier - kRecentCombinationCommand);
    UpdateCommandStates();
    UpdatePanes();
}

void MainWindow::OnReopenRecentOrgan() {
    if (!recentOrgansMenu->actions().isEmpty()) OpenRecentOrgan(0);
}

void MainWindow::OnReopenRecentCombinations() {
    if (organ.loaded && !recentCombinationsMenu->actions().isEmpty()) OpenRecentCombination(0);
}

bool MainWindow::LoadCombinationFile(const std::string& path, bool fromDefaults) {
    constexpr const char* kAction = "Loading a combination file.";
    if (!organ.loaded) {
        ReportError("Cannot load combination file when no organ is loaded.", kAction);
        return false;
    }
    if (!organ.LoadCombinationFile(path)) {
        ReportError("Failed to load combination file.", kAction);
        return false;
    }
    if (!fromDefaults) AddRecentCombination(path);
    return true;
}

bool MainWindow::SaveCombinationFile(const std::string& path) {
    constexpr const char* kAction = "Saving a combination file.";
    if (!organ.loaded) {
        ReportError("Cannot save combination file when no organ is loaded.", kAction);
        return false;
    }
    if (!organ.SaveCombinationFile(path)) {
        ReportError("Failed to save combination file.", kAction);
        return false;
    }
    AddRecentCombination(path);
    return true;
}

void MainWindow::OnLoadCombinations() {
    if (!organ.loaded) {
        ReportError("Cannot load combination file when no organ is loaded.",
                    kLoadCombinationsAction);
        return;
    }
    if (!prompts.chooseCombinationFile) return;
    std::string initial = SetupInfo::ReadSettingString(devices.settings, "CombinationLastPath");
    QString chosen = prompts.chooseCombinationFile(this, QString::fromStdString(initial));
    if (chosen.isEmpty()) return;
    if (!LoadCombinationFile(chosen.toStdString(), false))
        ReportError("Could not load combination file.", kLoadCombinationsAction);
}

void MainWindow::OnSaveCombinations() {
    if (!organ.loaded) {
        ReportError("Cannot save combination file when no organ is loaded.",
                    kSaveCombinationsAction);
        return;
    }
    if (!prompts.chooseCombinationSaveFile) return;
    std::string initial = SetupInfo::ReadSettingString(devices.settings, "CombinationLastPath");
    QString chosen = prompts.chooseCombinationSaveFile(
        this, QString::fromStdString(initial), QString::fromStdString(organ.churchName + "-01"));
    if (chosen.isEmpty()) return;
    if (!SaveCombinationFile(chosen.toStdString()))
        ReportError("Could not save combination file.", kSaveCombinationsAction);
}

void MainWindow::OnReloadDefaultCombinations() {
    // The definition file's own Organ section and combination sections read
    // as a combination file.
    const std::string fileName = OrganFileName(currentOrganPath);
    if (!LoadCombinationFile(fileName, true))
        ReportError("Could not reload combinations from organ file %s.", kLoadCombinationsAction,
                    fileName.c_str());
}

void MainWindow::OnRecordingDirectory() {
    if (!prompts.chooseRecordingDirectory) return;
    std::string initial = SetupInfo::ReadSettingString(devices.settings, "OutputRecDir");
    QString chosen = prompts.chooseRecordingDirectory(this, QString::fromStdString(initial));
    if (chosen.isEmpty()) return;
    constexpr const char* kAction = "Saving output recording directory.";
    bool createdNew = false;
    if (!devices.settings.Open(createdNew)) return;
    // The store is first filled by the setup; until then nothing is kept.
    bool written = createdNew || devices.settings.WriteString("OutputRecDir", chosen.toStdString());
    if (!devices.settings.Close())
        ReportError("Could not close settings store.", kAction);
    else if (!written)
        ReportError("Could not write a value to the settings store.", kAction);
}

}  // namespace tessaline
