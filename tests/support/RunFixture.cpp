#include "tests/support/RunFixture.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QEvent>

#include "settings/modGlobals.h"
#include "tools/ImageBuilder.h"
#include "ui/Controls.h"
#include "ui/frm_Main.h"

void flushClosedWindows() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

RunFixture::RunFixture() {
  ResetGlobals();
  QDir(dir_.path()).mkpath(QStringLiteral("src"));
  QDir(dir_.path()).mkpath(QStringLiteral("dst"));
  main_ = Forms::frm_Main.get();
  setFolders(source(), target());
}

RunFixture::~RunFixture() {
  if (Forms::frm_Main.loaded()) Forms::frm_Main->Unload();
  flushClosedWindows();
  ResetGlobals();
}

void RunFixture::putSource(const QString& name, const QByteArray& data) {
  ImageBuilder::WriteFile(source() + name, data);
}

void RunFixture::putTarget(const QString& name, const QByteArray& data) {
  ImageBuilder::WriteFile(target() + name, data);
}

QMap<QString, QByteArray> RunFixture::snapshot(const QString& folder) {
  QMap<QString, QByteArray> files;
  QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System);
  while (it.hasNext()) {
    const QString path = it.next();
    if (!it.fileInfo().isFile()) continue;  // a pipe would block the read
    files.insert(it.fileName(), ImageBuilder::ReadFile(path));
  }
  return files;
}

void RunFixture::setFolders(const QString& sourceFolder, const QString& targetFolder) {
  main_->txtSource->SetFolder(sourceFolder);
  main_->txtTarget->SetFolder(targetFolder);
  ConversionSettings.Source = sourceFolder;
  ConversionSettings.Target = targetFolder;
}

void RunFixture::setExtensions(const QString& sourceExt, const QString& targetExt) {
  main_->txtSourceExt->setText(sourceExt);
  main_->txtTargetExt->setText(targetExt);
  ConversionSettings.SourceExt = sourceExt;
  ConversionSettings.TargetExt = targetExt;
}

void RunFixture::reorder() {
  main_->cmdStrip_Click();
  flushClosedWindows();
}
