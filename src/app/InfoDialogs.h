#pragma once
// What the window tells about the program and the loaded organ besides the
// console: the About box, the Organ Details dialog and the display check.
//
// Threads: UI only.

#include <QDialog>
#include <functional>

#include "platform/ConsoleView.h"

class QLineEdit;

namespace tessaline {

class ConsoleLayout;
class Organ;

// The web site the About box opens.
inline constexpr const char* kWebsiteAddress = "https://tessaline.org/";

// "About Tessaline": the program's version, the organ file version it reads,
// an "&OK" button and a "&Website" button. openWebsite opens an address and
// tells whether that worked; a failure is reported with the address.
class AboutDialog : public QDialog {
public:
    AboutDialog(QWidget* parent, std::function<bool(const QString&)> openWebsite);
    void OpenWebsite();

private:
    std::function<bool(const QString&)> openWebsite;
};

// "Organ Details": six read-only fields about the organ, an "OK" button and
// "More &Info", which calls moreInfo.
class OrganDetailsDialog : public QDialog {
public:
    OrganDetailsDialog(QWidget* parent, std::function<void()> moreInfo);
    // Fills the fields from the organ; false after reporting when no organ is
    // loaded (the dialog is then not to be shown).
    bool Fill(const Organ& organ);

private:
    enum Field {
        ChurchName,
        ChurchAddress,
        OrganBuilder,
        OrganBuildDate,
        RecordingDetails,
        OrganComments,
        kFields
    };
    QLineEdit* fields[kFields] = {};
};

// The definition file name with everything from its last "." replaced by
// ".html" (".html" appended when it has no "."): "St Mary.organ" gives
// "St Mary.html". Only the file name counts, not a "." in a folder's name.
std::string WithHtmlExtension(const std::string& fileName);

// True when the screen can show the window: at least 16 bits per pixel, and
// larger than 792 x 560 without an organ (layout nullptr), or larger than the
// loaded organ's console both ways. Otherwise reports why.
bool CheckDisplay(const ScreenMetrics& screen, const ConsoleLayout* layout);

}  // namespace tessaline
