#pragma once

#include <QHash>
#include <QString>
#include <optional>

#include "engine/ImageReading.h"

// The layouts the user has stated for four-bank images whose marks cannot
// tell their banks apart: for one file, for every image of a length, or for
// every image of a run. An image its marks read is read as they say, stated
// or not.
struct StatedLayouts {
  std::optional<StatedLayout> every;
  QHash<QString, StatedLayout> byName;  // the file's name as the run lists it
  QHash<qint64, StatedLayout> byLength;

  // The layout stated for that file: its own, else its length's, else the
  // run's; null when none is.
  const StatedLayout* For(const QString& name, qint64 length) const;

  bool operator==(const StatedLayouts&) const = default;
};
