#pragma once
// The file and folder choosers of the main window and the opening of
// documents and web addresses, as the application answers ShellPrompts.
//
// Threads: UI only.

#include <QString>

class QWidget;

namespace tessaline {

// "Open Combination File": one existing *.cmb file, from initialDirectory
// when that is not empty. Empty when cancelled.
QString ChooseCombinationFile(QWidget* owner, const QString& initialDirectory);
// "Save Combination File As": a *.cmb name in an existing folder, "cmb"
// added when no extension is typed, proposing proposedName; asks before
// replacing a file. Empty when cancelled.
QString ChooseCombinationSaveFile(QWidget* owner, const QString& initialDirectory,
                                  const QString& proposedName);
// "Choose Output Recording Directory": an existing folder, listed with
// folders only unless "Show &Files" is ticked. The folder without a trailing
// "/"; empty when cancelled.
QString ChooseRecordingDirectory(QWidget* owner, const QString& initialDirectory);

// A folder path without its trailing "/" characters; the root stays "/".
QString WithoutTrailingSeparator(const QString& path);

// A local file in the desktop's program for it; false when the file does not
// exist or nothing could open it.
bool OpenDocument(const QString& path);
// A web address in the desktop's browser; false when none could be started.
bool OpenWebAddress(const QString& address);

}  // namespace tessaline
