#pragma once

#include <QObject>
#include <QThreadPool>
#include <atomic>
#include <memory>

#include "batch/Messages.h"
#include "batch/StatedLayouts.h"
#include "settings/modGlobals.h"

class ImageListModel;

// A look at what a run would do with the source folder, on a thread of its
// own: it lists the folder as Reorder does, then takes a dry run over the
// files that reads each image once, and hands the reports to the model in
// groups as they come, on the model's thread. A new look replaces the one
// under way; nothing waits for the old one to end, which stops after the
// file it is reading.
class ImageSurvey : public QObject {
  Q_OBJECT

 public:
  explicit ImageSurvey(ImageListModel* model, QObject* parent = nullptr);
  // Stops the look under way and waits for it.
  ~ImageSurvey() override;

  // Looks at the folders with these settings, reading images whose marks
  // cannot tell their banks apart as stated; the model's predictions are
  // replaced as the reports come.
  void Start(const ConversionSettingsRecord& settings, const StatedLayouts& stated = {});
  void Stop();

  bool Running() const { return running_; }
  int Read() const { return read_; }
  int Total() const { return total_; }

 Q_SIGNALS:
  // Files read so far of those listed.
  void progressed(int read, int total);
  // The run would be refused before its first file; the list is empty.
  void refused(const Toolkit::Message& message);
  void finished();

 private:
  struct Job;
  // The look has ended, refused before its first file when refusal is set.
  void endWith(const Toolkit::Message* refusal);

  ImageListModel* model_;
  QThreadPool pool_;
  std::shared_ptr<std::atomic<bool>> stop_;
  quint64 generation_ = 0;
  bool running_ = false;
  int read_ = 0;
  int total_ = 0;
};
