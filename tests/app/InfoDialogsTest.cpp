#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDialog>
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
using test::ShellRig;

class InfoDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        rig.StartSetUp();
        rig.onDialog = [this](QDialog& dialog) {
            title = dialog.windowTitle().toStdString();
            labels.clear();
            buttons.clear();
            for (QLabel* label : dialog.findChildren<QLabel*>())
                if (!label->text().isEmpty()) labels.push_back(label->text().toStdString());
            for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>())
                buttons.push_back(button->text().toStdString());
            if (press.empty()) return;
            for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>())
                if (button->text().toStdString() == press) button->click();
        };
    }
    MainWindow& Window() { return *rig.window; }

    ShellRig rig;
    std::string press;  // the button the player presses in the dialog
    std::string title;
    std::vector<std::string> labels;
    std::vector<std::string> buttons;
};

TEST_F(InfoDialogs, AboutShowsBothVersionsAndOpensTheWebsite) {
    press = "&Website";
    Window().Run(Command::About);
    EXPECT_EQ(title, "About Tessaline");
    EXPECT_EQ(labels, (std::vector<std::string>{"Tessaline Version 1.21",
                                                "Organ File Version Supported: 1.21",
                                                "A virtual pipe organ project"}));
    EXPECT_EQ(buttons, (std::vector<std::string>{"&Website", "&OK"}));
    EXPECT_EQ(rig.opened, (std::vector<std::string>{kWebsiteAddress}));
    EXPECT_EQ(rig.errors.Count(), 0u);

    rig.openSucceeds = false;
    Window().Run(Command::About);
    EXPECT_EQ(rig.Reports(),
              (std::vector<std::string>{
                  "Could not open Tessaline website. Please make sure that you are currently "
                  "connected to the Internet.\nYou can find the website by going to " +
                  std::string(kWebsiteAddress) +
                  " in your web browser. | Opening Tessaline website."}));
}

TEST_F(InfoDialogs, OrganDetailsShowsSixFieldsAndOpensTheInfoPage) {
    std::string file = rig.WriteOrgan("St Mary.organ", "St Mary");
    ASSERT_TRUE(Window().LoadOrganFromPath(file));
    Organ& organ = Window().GetOrgan();
    organ.infoFilename.clear();
    std::vector<std::string> fields;
    rig.onDialog = [&](QDialog& dialog) {
        title = dialog.windowTitle().toStdString();
        auto* form = dialog.findChild<QFormLayout*>();
        ASSERT_NE(form, nullptr);
        for (int row = 0; row < form->rowCount(); ++row) {
            auto* label = qobject_cast<QLabel*>(form->itemAt(row, QFormLayout::LabelRole)->widget());
            auto* field = qobject_cast<QLineEdit*>(form->itemAt(row, QFormLayout::FieldRole)->widget());
            ASSERT_TRUE(label != nullptr && field != nullptr);
            EXPECT_TRUE(field->isReadOnly());
            fields.push_back(label->text().toStdString() + " " + field->text().toStdString());
        }
        for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>())
            if (button->text() == "More &Info") button->click();
    };
    Window().Run(Command::ShowOrganDetails);
    EXPECT_EQ(title, "Organ Details");
    EXPECT_EQ(fields, (std::vector<std::string>{
                          "Church Name: St Mary", "Church Address: 1 Test Street",
                          "Organ Builder: Test Builder", "Date Organ Built: 1900",
                          "Details of Recording: None", "Other Information: None"}));
    EXPECT_EQ(rig.opened, (std::vector<std::string>{rig.dir.File("St Mary.html")}));

    // A given page is found beside the organ, "\" separating folders.
    organ.infoFilename = "pages\\Mary.htm";
    EXPECT_EQ(Window().InfoPagePath(), rig.dir.File("pages/Mary.htm"));
    organ.infoFilename = "/srv/organs/mary.html";
    EXPECT_EQ(Window().InfoPagePath(), "/srv/organs/mary.html");

    rig.openSucceeds = false;
    Window().Run(Command::ShowOrganDetails);
    EXPECT_EQ(rig.Reports(),
              (std::vector<std::string>{
                  "Could not find and open the HTML file for this organ.\nPlease check that the "
                  "file exists, is in the same directory as the organ file\nand has the same name "
                  "as the organ (but with an .html extension). | Displaying extra organ "
                  "information."}));
}

TEST_F(InfoDialogs, OrganDetailsNeedALoadedOrgan) {
    OrganDetailsDialog dialog(&Window(), nullptr);
    EXPECT_FALSE(dialog.Fill(Window().GetOrgan()));
    EXPECT_EQ(rig.Reports(),
              (std::vector<std::string>{"No organ is loaded. | Displaying organ details."}));
}

TEST(InfoPage, TheExtensionOfTheFileNameBecomesHtml) {
    EXPECT_EQ(WithHtmlExtension("/o/St Mary.organ"), "/o/St Mary.html");
    EXPECT_EQ(WithHtmlExtension("/o/St.Mary.ORGAN"), "/o/St.Mary.html");
    EXPECT_EQ(WithHtmlExtension("/o/v1.2/Mary"), "/o/v1.2/Mary.html");
    EXPECT_EQ(WithHtmlExtension("Mary"), "Mary.html");
}

TEST_F(InfoDialogs, HelpOpensTheInstalledIndexPage) {
    Window().Run(Command::HelpContents);
    const std::string index = DefaultDataDirectory() + "/help/index.html";
    EXPECT_EQ(rig.opened, (std::vector<std::string>{index}));
    EXPECT_TRUE(std::filesystem::is_regular_file(index));
    rig.openSucceeds = false;
    Window().Run(Command::HelpContents);
    EXPECT_EQ(rig.Reports(),
              (std::vector<std::string>{
                  "Could not find help file (help/index.html) in the Tessaline program "
                  "directory,\nor an invalid topic within the file was specified.\nPlease "
                  "reinstall Tessaline. | Launching help system."}));
}

TEST(DisplayCheck, TheScreenMustExceedTheWindowBothWays) {
    RecordingErrorSink errors;
    const std::string small =
        "The current screen display mode is not large enough to display Tessaline.\nIf your "
        "graphics card and monitor support it, please try to increase the screen area (in the "
        "display settings of your desktop) to at least 800x600.";
    EXPECT_TRUE(CheckDisplay({800, 600, 24}, nullptr));
    EXPECT_TRUE(CheckDisplay({800, 600, 16}, nullptr));
    EXPECT_FALSE(CheckDisplay({792, 600, 24}, nullptr));
    EXPECT_FALSE(CheckDisplay({800, 560, 24}, nullptr));
    EXPECT_FALSE(CheckDisplay({1920, 1200, 15}, nullptr));

    ConsoleLayout layout;
    layout.windowWidth = 1024;
    layout.windowHeight = 700;
    EXPECT_TRUE(CheckDisplay({1025, 701, 32}, &layout));
    EXPECT_FALSE(CheckDisplay({1024, 768, 32}, &layout));
    EXPECT_FALSE(CheckDisplay({1280, 700, 32}, &layout));

    const std::string organ =
        "The current screen display mode is not large enough to display the currently-loaded "
        "organ.\nIf your graphics card and monitor support it, please try to increase the screen "
        "area (in the display settings of your desktop).";
    std::vector<std::string> expected = {
        small, small,
        "The number of colours available in the current screen display mode is too small.\n"
        "Tessaline requires at least 16-bit colour for accurate display.\nIf your graphics card "
        "and monitor support it, please try to increase the number of colours (in the display "
        "settings of your desktop).",
        organ, organ};
    EXPECT_EQ(errors.Messages(), expected);
    for (const auto& e : errors.Errors()) EXPECT_EQ(e.attemptedAction, "Checking display properties.");
}

}  // namespace
}  // namespace tessaline
