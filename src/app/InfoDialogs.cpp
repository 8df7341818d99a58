#include "app/InfoDialogs.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "app/MainWindow.h"
#include "organ/Constants.h"
#include "organ/Organ.h"
#include "platform/DataDirectory.h"
#include "platform/ErrorReporting.h"

namespace tessaline {

namespace {

constexpr const char* kDisplayAction = "Checking display properties.";

QString VersionText(const char* format, double version) {
    return QString::asprintf(format, version);
}

}  // namespace

AboutDialog::AboutDialog(QWidget* parent, std::function<bool(const QString&)> opener)
    : QDialog(parent), openWebsite(std::move(opener)) {
    setWindowTitle("About Tessaline");
    setMinimumWidth(320);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 16, 24, 12);
    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap(QString::fromStdString(DefaultDataDirectory() + "/images/icon48.png")));
    icon->setAlignment(Qt::AlignHCenter);
    layout->addWidget(icon);
    for (const QString& line :
         {VersionText("Tessaline Version %.2f", kProgramVersion),
          VersionText("Organ File Version Supported: %.2f", kSupportedFileFormatVersion),
          QString("A virtual pipe organ project")}) {
        auto* label = new QLabel(line, this);
        label->setAlignment(Qt::AlignHCenter);
        layout->addWidget(label);
    }
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* website = buttons->addButton("&Website", QDialogButtonBox::ActionRole);
    QPushButton* ok = buttons->addButton("&OK", QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    connect(website, &QPushButton::clicked, this, &AboutDialog::OpenWebsite);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

void AboutDialog::OpenWebsite() {
    if (openWebsite && openWebsite(kWebsiteAddress)) return;
    ReportError(
        "Could not open Tessaline website. Please make sure that you are currently connected to "
        "the Internet.\nYou can find the website by going to %s in your web browser.",
        "Opening Tessaline website.", kWebsiteAddress);
}

OrganDetailsDialog::OrganDetailsDialog(QWidget* parent, std::function<void()> moreInfo)
    : QDialog(parent) {
    setWindowTitle("Organ Details");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    static constexpr const char* kLabels[kFields] = {
        "Church Name:",      "Church Address:",       "Organ Builder:",
        "Date Organ Built:", "Details of Recording:", "Other Information:"};
    for (int f = 0; f < kFields; ++f) {
        fields[f] = new QLineEdit(this);
        fields[f]->setReadOnly(true);
        fields[f]->setMinimumWidth(360);
        form->addRow(kLabels[f], fields[f]);
    }
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* info = buttons->addButton("More &Info", QDialogButtonBox::ActionRole);
    buttons->addButton(QDialogButtonBox::Ok)->setDefault(true);
    connect(info, &QPushButton::clicked, this, [callback = std::move(moreInfo)] {
        if (callback) callback();
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

bool OrganDetailsDialog::Fill(const Organ& organ) {
    if (!organ.loaded) {
        ReportError("No organ is loaded.", "Displaying organ details.");
        return false;
    }
    const std::string* texts[kFields] = {&organ.churchName,       &organ.churchAddress,
                                         &organ.organBuilder,     &organ.organBuildDate,
                                         &organ.recordingDetails, &organ.organComments};
    for (int f = 0; f < kFields; ++f) {
        fields[f]->setText(QString::fromStdString(*texts[f]));
        fields[f]->setCursorPosition(0);
    }
    return true;
}

std::string WithHtmlExtension(const std::string& fileName) {
    size_t dot = fileName.rfind('.');
    size_t slash = fileName.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return fileName + ".html";
    return fileName.substr(0, dot) + ".html";
}

bool CheckDisplay(const ScreenMetrics& screen, const ConsoleLayout* layout) {
    if (screen.bitsPerPixel < 16) {
        ReportError(
            "The number of colours available in the current screen display mode is too "
            "small.\nTessaline requires at least 16-bit colour for accurate display.\nIf "
            "your graphics card and monitor support it, please try to increase the number "
            "of colours (in the display settings of your desktop).",
            kDisplayAction);
        return false;
    }
    if (layout == nullptr) {
        if (screen.width > kDefaultWindowWidth && screen.height > kDefaultWindowHeight) return true;
        ReportError(
            "The current screen display mode is not large enough to display "
            "Tessaline.\nIf your graphics card and monitor support it, please try to "
            "increase the screen area (in the display settings of your desktop) to at "
            "least 800x600.",
            kDisplayAction);
        return false;
    }
    if (layout->FitsScreen(screen)) return true;
    ReportError(
        "The current screen display mode is not large enough to display the "
        "currently-loaded organ.\nIf your graphics card and monitor support it, please try "
        "to increase the screen area (in the display settings of your desktop).",
        kDisplayAction);
    return false;
}

int MainWindow::RunDialog(QDialog& dialog) {
    return prompts.runDialog ? prompts.runDialog(dialog) : dialog.exec();
}

bool MainWindow::CheckDisplay() {
    return tessaline::CheckDisplay(view.Screen(), organ.loaded ? &organ.Layout() : nullptr);
}

void MainWindow::WatchDisplay() {
    CheckDisplay();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        connect(screen, &QScreen::geometryChanged, this, [this] { CheckDisplay(); });
    }
}

std::string MainWindow::InfoPagePath() const {
    if (!organ.infoFilename.empty()) return organ.ResolvePath(organ.infoFilename);
    return WithHtmlExtension(OrganFileName(currentOrganPath));
}

void MainWindow::OnShowOrganDetails() {
    if (!organ.loaded) {
        ReportError("Could not show organ details because no organ is loaded.",
                    "Showing organ details.");
        return;
    }
    OrganDetailsDialog dialog(this, [this] {
        if (prompts.openFile && prompts.openFile(QString::fromStdString(InfoPagePath()))) return;
        ReportError(
            "Could not find and open the HTML file for this organ.\nPlease check that the "
            "file exists, is in the same directory as the organ file\nand has the same "
            "name as the organ (but with an .html extension).",
            "Displaying extra organ information.");
    });
    if (dialog.Fill(organ)) RunDialog(dialog);
}

void MainWindow::OnAbout() {
    AboutDialog dialog(this, prompts.openWebsite);
    RunDialog(dialog);
}

void MainWindow::OnHelpContents() {
    const std::string index = DefaultDataDirectory() + "/help/index.html";
    if (prompts.openFile && prompts.openFile(QString::fromStdString(index))) return;
    ReportError(
        "Could not find help file (help/index.html) in the Tessaline program "
        "directory,\nor an invalid topic within the file was specified.\nPlease "
        "reinstall Tessaline.",
        "Launching help system.");
}

}  // namespace tessaline
