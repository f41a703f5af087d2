#include "batch/TargetQueue.h"

#include <chrono>
#include <system_error>

namespace {

// A group is sealed as soon as the one before it is in place and it holds
// a few files, or its first has waited a while: so the disk is kept busy
// from the first files on, and each group grows to what the disk takes
// while the one before it is being put in place, since every group costs
// the disk's fixed wait twice, once for the bytes and once for the names.
// A group that reaches the most files waits for the one before it.
constexpr int FewestFiles = 128;
constexpr int MostFiles = 2048;
constexpr qint64 GroupMilliseconds = 250;

}  // namespace

TargetQueue::TargetQueue(TargetFolder* folder, Settled settled)
    : folder_(folder), settled_(std::move(settled)) {}

TargetQueue::~TargetQueue() {
  Commit();
}

void TargetQueue::AddFinal(FileReport report) {
  open_.entries.push_back({std::move(report), false, {}});
  if (open_.pending == 0 && !sealed_.placing.valid()) Commit();
}

void TargetQueue::AddPending(FileReport report, TargetFolder::Placing placing) {
  if (open_.pending == 0) clock_.start();
  ++open_.pending;
  open_.names.insert(report.targetName.toCaseFolded());
  open_.entries.push_back({std::move(report), true, std::move(placing)});
}

bool TargetQueue::Holds(const QString& targetName) const {
  const QString name = targetName.toCaseFolded();
  return open_.names.contains(name) || sealed_.names.contains(name);
}

void TargetQueue::Advance() {
  if (open_.pending == 0) return;
  const bool placing =
      sealed_.placing.valid() &&
      sealed_.placing.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
  const bool ready = open_.pending >= FewestFiles || clock_.hasExpired(GroupMilliseconds);
  if (open_.pending < MostFiles && (placing || !ready)) return;
  settle(sealed_);
  sealed_ = std::move(open_);
  open_ = Group{};
  try {
    sealed_.placing = std::async(std::launch::async, &Group::PutInPlace, &sealed_, folder_);
  } catch (const std::system_error&) {
    sealed_.PutInPlace(folder_);  // no thread to be had: the run just waits for the disk
  }
}

void TargetQueue::Commit() {
  settle(sealed_);
  open_.PutInPlace(folder_);
  settle(open_);
}

// Touches nothing but the group and the held folder.
void TargetQueue::Group::PutInPlace(TargetFolder* folder) {
  if (pending == 0) return;
  std::vector<TargetFolder::Placing> files;
  files.reserve(pending);
  for (Entry& entry : entries) {
    if (entry.written) files.push_back(std::move(entry.placing));
  }
  folder->Place(files);
  auto placed = files.begin();
  for (Entry& entry : entries) {
    if (!entry.written) continue;
    using Result = TargetFolder::Placing::Result;
    if (placed->result != Result::Placed) {
      entry.report.outcome = FileOutcome::Skipped;
      entry.report.action =
          placed->result == Result::Kept ? TargetAction::Keep : TargetAction::None;
      entry.report.reason = placed->reason;
    }
    ++placed;
  }
  pending = 0;
}

void TargetQueue::settle(Group& group) {
  if (group.placing.valid()) group.placing.get();
  if (!group.entries.empty()) {
    std::vector<FileReport> reports;
    reports.reserve(group.entries.size());
    for (Entry& entry : group.entries) reports.push_back(std::move(entry.report));
    group = Group{};
    settled_(reports);
  }
  group = Group{};
}
