#include "batch/ImageSurvey.h"

#include <QElapsedTimer>
#include <QRunnable>
#include <vector>

#include "batch/BatchRun.h"
#include "batch/ImageList.h"

namespace {

// Reports are handed on in groups, so that the list changes a few times a
// second rather than once per file.
constexpr qint64 ReportMilliseconds = 100;
constexpr size_t ReportFiles = 512;

// The dry run's front end on the look's thread: keeps the reports, hands
// them on in groups through post, and stops when asked.
class SurveyFrontEnd : public RunFrontEnd {
 public:
  using Post = std::function<void(std::vector<FileReport>, bool last)>;
  SurveyFrontEnd(std::shared_ptr<std::atomic<bool>> stop, Post post)
      : stop_(std::move(stop)), post_(std::move(post)) {
    clock_.start();
  }

  Toolkit::Answer MsgBox(const Toolkit::Message& message) override {
    last_ = message;
    return Toolkit::Answer::OK;
  }
  void ShowProgress(int, int, const QString&) override {}
  void EventPoint() override {}
  bool StopRequested() const override { return *stop_; }
  void FileDone(const FileReport& report) override {
    group_.push_back(report);
    if (group_.size() >= ReportFiles || clock_.hasExpired(ReportMilliseconds)) hand();
  }
  void PassedOver(const NativeFile::FolderEntry& entry) override { passedOver.append(entry); }

  void hand(bool last = false) {
    post_(std::move(group_), last);
    group_.clear();
    clock_.start();
  }

  Toolkit::Message last_;
  QList<NativeFile::FolderEntry> passedOver;

 private:
  std::shared_ptr<std::atomic<bool>> stop_;
  Post post_;
  std::vector<FileReport> group_;
  QElapsedTimer clock_;
};

}  // namespace

struct ImageSurvey::Job : QRunnable {
  ImageSurvey* survey;
  quint64 generation;
  ConversionSettingsRecord settings;
  StatedLayouts stated;
  std::shared_ptr<std::atomic<bool>> stop;

  // Runs fn on the survey's thread, if this look is still the survey's.
  template <class Fn>
  void post(Fn fn) {
    ImageSurvey* const s = survey;
    const quint64 g = generation;
    QMetaObject::invokeMethod(
        s,
        [s, g, fn = std::move(fn)]() mutable {
          if (s->generation_ == g) fn(s);
        },
        Qt::QueuedConnection);
  }

  void run() override {
    QStringList names;
    QList<NativeFile::FolderEntry> passedOver;
    if (auto refusal = ListSourceFolder(FolderWithSeparator(settings.Source), settings.SourceExt,
                                        &names, &passedOver)) {
      post([message = *refusal](ImageSurvey* s) { s->endWith(&message); });
      return;
    }
    post([names, passedOver](ImageSurvey* s) {
      s->total_ = static_cast<int>(names.size());
      s->model_->KeepOnly(names);
      s->model_->SetPassedOver(passedOver);
      Q_EMIT s->progressed(0, s->total_);
    });
    SurveyFrontEnd frontEnd(stop, [this](std::vector<FileReport> group, bool last) {
      post([group = std::move(group), last](ImageSurvey* s) {
        s->read_ += static_cast<int>(group.size());
        s->model_->Take(group, ImageListModel::Kind::Prediction);
        Q_EMIT s->progressed(s->read_, s->total_);
        if (last) s->endWith(nullptr);
      });
    });
    const RunTotals totals =
        BatchRun(frontEnd, {.dryRun = true, .findings = Findings::Full, .stated = stated}, settings,
                 names)
            .Go();
    if (totals.end == RunEnd::Refused) {
      post([message = frontEnd.last_](ImageSurvey* s) { s->endWith(&message); });
      return;
    }
    frontEnd.hand(true);
  }
};

ImageSurvey::ImageSurvey(ImageListModel* model, QObject* parent) : QObject(parent), model_(model) {
  pool_.setMaxThreadCount(1);
}

ImageSurvey::~ImageSurvey() {
  Stop();
  pool_.waitForDone();
}

void ImageSurvey::Start(const ConversionSettingsRecord& settings, const StatedLayouts& stated) {
  Stop();
  stop_ = std::make_shared<std::atomic<bool>>(false);
  running_ = true;
  read_ = total_ = 0;
  auto* job = new Job;
  job->survey = this;
  job->generation = generation_;
  job->settings = settings;
  job->stated = stated;
  job->stop = stop_;
  pool_.start(job);
}

void ImageSurvey::Stop() {
  if (stop_) *stop_ = true;
  stop_.reset();
  ++generation_;
  running_ = false;
}

void ImageSurvey::endWith(const Toolkit::Message* refusal) {
  running_ = false;
  stop_.reset();
  if (refusal) {
    model_->KeepOnly({});
    model_->SetPassedOver({});
    Q_EMIT refused(*refusal);
  }
  Q_EMIT finished();
}
