#include "batch/Messages.h"

#include "batch/RunReport.h"

using Toolkit::Buttons;
using Toolkit::CRLF;
using Toolkit::Icon;
using Toolkit::Message;

namespace RunMessages {
namespace {

Message folderError(const QString& prompt) {
  return {prompt, Buttons::OK, Icon::Critical, QStringLiteral("Folder Error")};
}

Message folderError(const QString& problem, const QString& folder, const QString& advice) {
  return folderError(problem + CRLF + folder + CRLF + advice);
}

}  // namespace

Message SameFolders() {
  return folderError(
      QStringLiteral("The Source and Target folders/extensions are the same.") + CRLF +
      QStringLiteral("Please change one of the folders/extensions before continuing."));
}

Message BadFormat(const QString& what) {
  return {QStringLiteral("Invalid %1 format. Re-enter").arg(what), Buttons::OK, Icon::Critical,
          QStringLiteral("Format Error")};
}

Message BadExtension(const QString& which, const QString& extension) {
  return {QStringLiteral("The %1 extension cannot be used in a file name:").arg(which) + CRLF +
              extension + CRLF +
              QStringLiteral("An extension may not hold a path separator, \"..\" or a "
                             "character that file names cannot hold."),
          Buttons::OK, Icon::Critical, QStringLiteral("Extension Error")};
}

Message SourceUnreadable(const QString& folder) {
  return folderError(QStringLiteral("The Source folder does not exist or cannot be read:"), folder,
                     QStringLiteral("Please choose another source folder."));
}

Message TargetUnreadable(const QString& folder) {
  return folderError(QStringLiteral("The Target folder does not exist or cannot be read:"), folder,
                     QStringLiteral("Please choose another target folder."));
}

Message TargetUnwritable(const QString& folder) {
  return folderError(QStringLiteral("The Target folder cannot be written:"), folder,
                     QStringLiteral("Please choose another target folder."));
}

Message TargetBusy(const QString& folder) {
  return {QStringLiteral("Another run is writing into the Target folder:") + CRLF + folder + CRLF +
              QStringLiteral("Please wait until it has ended, or choose another target folder."),
          Buttons::OK, Icon::Exclamation, QStringLiteral("Folder Busy")};
}

Message NoFilesFound(const QString& pattern) {
  return {QStringLiteral("No '%1' files found in source folder.").arg(pattern), Buttons::OK,
          Icon::Information, QStringLiteral("No Files Found")};
}

Message NoFilesGiven() {
  return {QStringLiteral("No files were given."), Buttons::OK, Icon::Information,
          QStringLiteral("No Files Found")};
}

Message TooManyFiles(int count, const QString& pattern) {
  return {QStringLiteral("There are %1 '%2' files in the source folder; one run takes at most %3.")
                  .arg(count)
                  .arg(pattern)
                  .arg(MaxRunFiles) +
              CRLF + QStringLiteral("Please move some of them to another folder."),
          Buttons::OK, Icon::Exclamation, QStringLiteral("Too Many Files")};
}

Message TooManyFilesGiven(int count) {
  return {
      QStringLiteral("%1 files were given; one run takes at most %2.").arg(count).arg(MaxRunFiles),
      Buttons::OK, Icon::Exclamation, QStringLiteral("Too Many Files")};
}

Message OverwriteQuestion(const QString& targetName) {
  return {QStringLiteral("Do you want to overwrite the file") + CRLF + targetName + u'?',
          Buttons::YesNoCancel, Icon::None, QStringLiteral("Confirm Overwrite?")};
}

Message Summary(int total, int converted, int skipped) {
  return {QStringLiteral(" %1 total files were processed. ").arg(total) + CRLF + CRLF +
              QStringLiteral(" %1 files were converted and  %2 were skipped.")
                  .arg(converted)
                  .arg(skipped),
          Buttons::OK, Icon::Information, QStringLiteral("Operation Complete")};
}

}  // namespace RunMessages
