#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <filesystem>

#include "ShellRig.h"
#include "app/InfoDialogs.h"
#include "console/ConsoleLayout.h"
#include "platform/DataDirectory.h"

namespace tessaline {
namespace {

using Command = MainWindow::Command;
using Texts = std::vector<std::string>;

class InfoDialogs : public ::testing::Test {
protected:
    // Every dialog shown: its title, its texts (the labels, or for a form
    // each label with its field) and its buttons; then `press` is clicked.
    void SetUp() override {
        rig.StartSetUp();
        rig.onDialog = [this](QDialog& dialog) {
            shown = {dialog.windowTitle().toStdString()};
            if (auto* form = dialog.findChild<QFormLayout*>()) {
                for (int row = 0; row < form->rowCount(); ++row) {
                    auto* field = qobject_cast<QLineEdit*>(
                        form->itemAt(row, QFormLayout::FieldRole)->widget());
                    auto* label =
                        qobject_cast<QLabel*>(form->itemAt(row, QFormLayout::LabelRole)->widget());
                    shown.push_back(label->text().toStdString() + " " +
                                    field->text().toStdString() +
                                    (field->isReadOnly() ? "" : " (editable)"));
                }
            } else {
                for (QLabel* label : dialog.findChildren<QLabel*>())
                    if (!label->text().isEmpty()) shown.push_back(label->text().toStdString());
            }
            for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>())
                shown.push_back("[" + button->text().toStdString() + "]");
            for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>())
                if (button->text().toStdString() == press) button->click();
        };
    }
    MainWindow& Window() { return *rig.window; }

    test::ShellRig rig;
    std::string press;
    Texts shown;
};

TEST_F(InfoDialogs, AboutShowsBothVersionsAndOpensTheWebsite) {
    press = "&Website";
    Window().Run(Command::About);
    EXPECT_EQ(shown, (Texts{"About Tessaline", "Tessaline Version 1.21",
                            "Organ File Version Supported: 1.21", "A virtual pipe organ project",
                            "[&Website]", "[&OK]"}));
    EXPECT_EQ(rig.opened, Texts{kWebsiteAddress});
    rig.openSucceeds = false;
    Window().Run(Command::About);
    EXPECT_EQ(
        rig.Reports(),
        Texts{"Could not open Tessaline website. Please make sure that you are currently "
              "connected to the Internet.\nYou can find the website by going to " +
              std::string(kWebsiteAddress) + " in your web browser. | Opening Tessaline website."});
}

TEST_F(InfoDialogs, OrganDetailsShowsSixFieldsAndOpensTheInfoPage) {
    ASSERT_TRUE(Window().LoadOrganFromPath(rig.WriteOrgan("St Mary.organ", "St Mary")));
    Organ& organ = Window().GetOrgan();
    organ.infoFilename.clear();
    press = "More &Info";
    Window().Run(Command::ShowOrganDetails);
    EXPECT_EQ(shown, (Texts{"Organ Details", "Church Name: St Mary",
                            "Church Address: 1 Test Street", "Organ Builder: Test Builder",
                            "Date Organ Built: 1900", "Details of Recording: None",
                            "Other Information: None", "[More &Info]", "[OK]"}));
    EXPECT_EQ(rig.opened, Texts{rig.dir.File("St Mary.html")});
    // A page the organ names is found beside it, "\" separating folders.
    organ.infoFilename = "pages\\Mary.htm";
    EXPECT_EQ(Window().InfoPagePath(), rig.dir.File("pages/Mary.htm"));
    EXPECT_EQ(WithHtmlExtension("/o/v1.2/Mary"), "/o/v1.2/Mary.html");

    rig.openSucceeds = false;
    Window().Run(Command::ShowOrganDetails);
    EXPECT_EQ(rig.Reports(),
              Texts{"Could not find and open the HTML file for this organ.\nPlease check that the "
                    "file exists, is in the same directory as the organ file\nand has the same "
                    "name as the organ (but with an .html extension). | Displaying extra organ "
                    "information."});
}

TEST_F(InfoDialogs, HelpOpensTheInstalledIndexPage) {
    Window().Run(Command::HelpContents);
    const std::string index = DefaultDataDirectory() + "/help/index.html";
    EXPECT_EQ(rig.opened, Texts{index});
    EXPECT_TRUE(std::filesystem::is_regular_file(index));
    rig.openSucceeds = false;
    Window().Run(Command::HelpContents);
    EXPECT_EQ(rig.Reports(),
              Texts{"Could not find help file (help/index.html) in the Tessaline program "
                    "directory,\nor an invalid topic within the file was specified.\nPlease "
                    "reinstall Tessaline. | Launching help system."});
}

TEST(DisplayCheck, TheScreenMustExceedTheWindowBothWays) {
    RecordingErrorSink errors;
    EXPECT_TRUE(CheckDisplay({800, 600, 16}, nullptr));
    EXPECT_FALSE(CheckDisplay({792, 600, 24}, nullptr));
    EXPECT_FALSE(CheckDisplay({1920, 1200, 15}, nullptr));
    ConsoleLayout layout;
    layout.windowWidth = 1024;
    layout.windowHeight = 700;
    EXPECT_TRUE(CheckDisplay({1025, 701, 32}, &layout));
    EXPECT_FALSE(CheckDisplay({1024, 768, 32}, &layout));
    EXPECT_EQ(errors.Messages(),
              (Texts{"The current screen display mode is not large enough to display "
                     "Tessaline.\nIf your graphics card and monitor support it, please try to "
                     "increase the screen area (in the display settings of your desktop) to at "
                     "least 800x600.",
                     "The number of colours available in the current screen display mode is too "
                     "small.\nTessaline requires at least 16-bit colour for accurate display.\nIf "
                     "your graphics card and monitor support it, please try to increase the "
                     "number of colours (in the display settings of your desktop).",
                     "The current screen display mode is not large enough to display the "
                     "currently-loaded organ.\nIf your graphics card and monitor support it, "
                     "please try to increase the screen area (in the display settings of your "
                     "desktop)."}));
    EXPECT_EQ(errors.Errors()[2].attemptedAction, "Checking display properties.");
}

}  // namespace
}  // namespace tessaline
