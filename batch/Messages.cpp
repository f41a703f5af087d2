#include "batch/Messages.h"

#include <QStringList>

#include "batch/RunReport.h"
#include "engine/Lib_Convert.h"

using Lib_Convert::ShownText;
using Toolkit::Buttons;
using Toolkit::Icon;
using Toolkit::LineBreak;
using Toolkit::Message;

QString Toolkit::OneLine(const Message& message) {
  QStringList parts;
  for (const QString& part : message.prompt.split(LineBreak)) {
    if (!part.trimmed().isEmpty()) parts.append(part.trimmed());
  }
  return parts.join(u' ');
}

namespace RunMessages {
namespace {

Message folderError(const QString& prompt) {
  return {prompt, Buttons::OK, Icon::Critical, QStringLiteral("Folder Error"), RunRefusal::Folders};
}

Message folderError(const QString& problem, const QString& folder, const QString& advice) {
  return folderError(problem + LineBreak + ShownText(folder) + LineBreak + advice);
}

}  // namespace

Message SameFolders() {
  return folderError(
      QStringLiteral("The Source and Target folders/extensions are the same.") + LineBreak +
      QStringLiteral("Please change one of the folders/extensions before continuing."));
}

Message BadFormat(const QString& what) {
  return {QStringLiteral("Invalid %1 format. Re-enter").arg(what), Buttons::OK, Icon::Critical,
          QStringLiteral("Format Error"), RunRefusal::Format};
}

Message BadExtension(const QString& which, const QString& extension) {
  return {QStringLiteral("The %1 extension cannot be used in a file name:").arg(which) + LineBreak +
              ShownText(extension) + LineBreak +
              QStringLiteral("An extension may not hold a path separator, \"..\" or a "
                             "character that file names cannot hold."),
          Buttons::OK, Icon::Critical, QStringLiteral("Extension Error"), RunRefusal::Extension};
}

Message TemporaryExtension(const QString& extension) {
  return {QStringLiteral("The Target extension would give a target the name of a run's temporary "
                         "file:") +
              LineBreak + ShownText(extension) + LineBreak +
              QStringLiteral("Please choose another target extension."),
          Buttons::OK, Icon::Critical, QStringLiteral("Extension Error"), RunRefusal::Extension};
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
  return {QStringLiteral("Another run is writing into the Target folder:") + LineBreak +
              ShownText(folder) + LineBreak +
              QStringLiteral("Please wait until it has ended, or choose another target folder."),
          Buttons::OK, Icon::Exclamation, QStringLiteral("Folder Busy"), RunRefusal::Busy};
}

Message NoFilesFound(const QString& pattern) {
  return {QStringLiteral("No '%1' files found in source folder.").arg(ShownText(pattern)),
          Buttons::OK, Icon::Information, QStringLiteral("No Files Found"), RunRefusal::NoFiles};
}

Message NoFilesGiven() {
  return {QStringLiteral("No files were given."), Buttons::OK, Icon::Information,
          QStringLiteral("No Files Found"), RunRefusal::NoFiles};
}

Message TooManyFiles(int count, const QString& pattern) {
  return {QStringLiteral("There are %1 '%2' files in the source folder; one run takes at most %3.")
                  .arg(count)
                  .arg(ShownText(pattern))
                  .arg(MaxRunFiles) +
              LineBreak + QStringLiteral("Please move some of them to another folder."),
          Buttons::OK, Icon::Exclamation, QStringLiteral("Too Many Files"), RunRefusal::TooMany};
}

Message TooManyFilesGiven(int count) {
  return {
      QStringLiteral("%1 files were given; one run takes at most %2.").arg(count).arg(MaxRunFiles),
      Buttons::OK, Icon::Exclamation, QStringLiteral("Too Many Files"), RunRefusal::TooMany};
}

Message OverwriteQuestion(const QString& targetName) {
  return {QStringLiteral("Do you want to overwrite the file") + LineBreak + ShownText(targetName) +
              u'?',
          Buttons::YesNoCancel, Icon::None, QStringLiteral("Confirm Overwrite?")};
}

Message DryRunSummary(int total, int converted, int skipped) {
  return {QStringLiteral(" %1 total files would be processed. ").arg(total) + LineBreak +
              LineBreak +
              QStringLiteral(" %1 files would be converted and  %2 would be skipped.")
                  .arg(converted)
                  .arg(skipped),
          Buttons::OK, Icon::Information, QStringLiteral("Operation Complete")};
}

Message Summary(int total, int converted, int skipped) {
  return {QStringLiteral(" %1 total files were processed. ").arg(total) + LineBreak + LineBreak +
              QStringLiteral(" %1 files were converted and  %2 were skipped.")
                  .arg(converted)
                  .arg(skipped),
          Buttons::OK, Icon::Information, QStringLiteral("Operation Complete")};
}

}  // namespace RunMessages
