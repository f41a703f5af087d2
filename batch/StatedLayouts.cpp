#include "batch/StatedLayouts.h"

const StatedLayout* StatedLayouts::For(const QString& name, qint64 length) const {
  if (!IsFourBankLength(length)) return nullptr;
  if (const auto own = byName.constFind(name); own != byName.cend()) return &*own;
  if (const auto same = byLength.constFind(length); same != byLength.cend()) return &*same;
  return every ? &*every : nullptr;
}
