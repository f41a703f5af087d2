#include "cli/ConvertSettings.h"

#include <QDir>
#include <QFileInfo>

#include "batch/BatchRun.h"
#include "batch/StatedLayouts.h"
#include "cli/Options.h"
#include "engine/ImageAssembly.h"
#include "settings/Presets.h"
#include "settings/modGlobals.h"

namespace {

QString badValue(const Options& options, const QCommandLineOption& option,
                 const QString& expected) {
  return QStringLiteral("bad value '%1' for --%2: %3")
      .arg(options.value(option), option.names().constLast(), expected);
}

// The index of the value among the words, letter case ignored; -1 when it is
// none of them.
int wordIndex(const QString& value, const QStringList& words) {
  for (int index = 0; index < words.size(); ++index) {
    if (value.compare(words[index], Qt::CaseInsensitive) == 0) return index;
  }
  return -1;
}

// Checks a text as the run would check it before its first file.
bool usableOrder(const QString& order) {
  return CheckBankOrder(order).has_value();
}

bool usableFill(const QString& fill) {
  OutputLayout layout;
  return ResolveLayout(QStringLiteral("0,1,8,9"), fill, Padding56K, 0, 0, 0, &layout) ==
         LayoutError::None;
}

}  // namespace

QString ApplyConvertOptions(const Options& o) {
  auto& s = ConversionSettings;
  if (o.isSet(o.preset)) {
    bool number = false;
    const int n = o.value(o.preset).toInt(&number);
    if (!number || n < 1 || n > static_cast<int>(OutputPresets.size())) {
      return badValue(o, o.preset, QStringLiteral("a number from 1 to 5"));
    }
    const OutputPreset& preset = OutputPresets[static_cast<size_t>(n - 1)];
    s.Limit32K = preset.limit32K;
    s.Bank1Only = preset.bank1Only;
    s.PadSize = preset.padSize;
    s.PadType = preset.padType;
    s.OutOrder = QString::fromLatin1(preset.order);
  }
  if (o.isSet(o.order)) {
    if (!usableOrder(o.value(o.order))) {
      return badValue(
          o, o.order,
          QStringLiteral("four bank numbers from 0 to 9 separated by commas, e.g. 8,1,0,9"));
    }
    s.OutOrder = o.value(o.order);
  }
  if (o.isSet(o.pad)) {
    const int size = wordIndex(o.value(o.pad), PadWords);
    if (size < 0) return badValue(o, o.pad, QStringLiteral("none, 56k or 64k"));
    s.PadSize = static_cast<quint8>(size);
  }
  if (o.isSet(o.padType)) {
    const int type = wordIndex(o.value(o.padType), PadTypeWords);
    if (type < 0) return badValue(o, o.padType, QStringLiteral("rear or front"));
    s.PadType = static_cast<quint8>(type);
  }
  if (o.isSet(o.fill)) {
    if (!usableFill(o.value(o.fill))) {
      return badValue(o, o.fill, QStringLiteral("one or two hex digits"));
    }
    // Kept as the options window keeps it: two digits.
    s.PadValue = (QStringLiteral("00") + o.value(o.fill)).right(2).toUpper();
  }
  if (o.isSet(o.bank1Only)) s.Bank1Only = 1;
  if (o.isSet(o.limit32K)) s.Limit32K = 1;
  if (o.isSet(o.overwrite)) {
    const int policy = wordIndex(o.value(o.overwrite), OverwriteWords);
    if (policy < 0) return badValue(o, o.overwrite, QStringLiteral("never, always or ask"));
    s.Overwrite = static_cast<quint8>(policy);
  }
  for (auto [option, field] :
       {std::pair{&o.sourceExt, &s.SourceExt}, {&o.targetExt, &s.TargetExt}}) {
    if (!o.isSet(*option)) continue;
    const QString ext = o.value(*option);
    if (ext.isEmpty() || ext == u'.') return badValue(o, *option, QStringLiteral("an extension"));
    // As the main window takes an extension: with its dot.
    *field = ext.startsWith(u'.') ? ext : u'.' + ext;
  }
  return {};
}

QString ApplyStatedOptions(const Options& o, StatedLayouts* stated) {
  if (!o.isSet(o.inputOrder) && !o.isSet(o.inputPad)) return {};
  // Where the fill stands says nothing of which bank is where.
  if (!o.isSet(o.inputOrder)) return QStringLiteral("--input-pad needs --input-order");
  StatedLayout layout;
  const auto order = CheckBankOrder(o.value(o.inputOrder), true);
  if (!order) {
    return badValue(o, o.inputOrder,
                    QStringLiteral("the banks 0, 1, 8 and 9 in file order, each once, e.g. "
                                   "1,8,0,9"));
  }
  layout.order = *order;
  if (o.isSet(o.inputPad)) {
    const int where = wordIndex(o.value(o.inputPad), PadTypeWords);
    if (where < 0) return badValue(o, o.inputPad, QStringLiteral("rear or front"));
    layout.PadOffset = where == 0 ? 0 : Size8K;
  }
  stated->every = layout;
  return {};
}

QString RunFolder(const QString& argument) {
  // Joined by hand: the file layer would pass the name through the
  // system's encoding and lose bytes that are not UTF-8.
  const QString absolute =
      QDir::isAbsolutePath(argument) ? argument : QDir::currentPath() + u'/' + argument;
  return FolderWithSeparator(QDir::toNativeSeparators(QDir::cleanPath(absolute)));
}

QString DescribeLayout(const Options& o) {
  const auto& s = ConversionSettings;
  // Whether a value is the stored one: the store was read, and neither the
  // value's option nor, for what a preset sets, --preset was given.
  const auto stored = [&](const QCommandLineOption& option, bool presetSets) {
    return !o.isSet(o.noSettings) && !o.isSet(option) && !(presetSets && o.isSet(o.preset));
  };
  QStringList parts, storedNames, storedOptions;
  const auto part = [&](const QString& text, const char* name, bool fromStore, const char* option) {
    parts.append(text);
    if (!fromStore) return;
    storedNames.append(QString::fromLatin1(name));
    if (!storedOptions.contains(QLatin1String(option))) storedOptions.append(option);
  };
  if (s.Bank1Only) {
    part(QStringLiteral("bank 1 alone"), "bank 1 alone", stored(o.bank1Only, true), "--preset");
    if (s.Limit32K) {
      part(QStringLiteral("cut to 32K"), "the 32K cut", stored(o.limit32K, true), "--preset");
    }
  } else {
    part(s.OutOrder, "order", stored(o.order, true), "--order");
    // As the run reads the codes: an unknown size is no padding.
    const bool pad64K = s.PadSize == Padding64K;
    const bool padded = pad64K || s.PadSize == Padding56K;
    part(padded ? QStringLiteral("%1 per bank").arg(pad64K ? "64K" : "56K")
                : QStringLiteral("unpadded"),
         "padding", stored(o.pad, true), "--pad");
    if (pad64K) {
      part(s.PadType == RearPadding ? QStringLiteral("8K of fill at the rear")
                                    : QStringLiteral("8K of fill in front"),
           "fill position", stored(o.padType, true), "--pad-type");
    }
    if (padded) part(QStringLiteral("fill ") + s.PadValue, "fill", stored(o.fill, false), "--fill");
  }
  QString line = QStringLiteral("layout ") + parts.join(QStringLiteral(", "));
  if (!storedNames.isEmpty()) {
    const QString which =
        storedNames.size() == parts.size()
            ? (parts.size() == 1 ? QStringLiteral("stored setting")
                                 : QStringLiteral("stored settings"))
            : storedNames.join(QStringLiteral(", ")) + QStringLiteral(" from the stored settings");
    line +=
        QStringLiteral(" (%1, %2 to change)").arg(which, storedOptions.join(QStringLiteral(", ")));
  }
  return line;
}

QString DescribeRun(const Options& o) {
  QString line = DescribeLayout(o);
  switch (ConversionSettings.Overwrite) {
    case AlwaysOverwrite: line += QStringLiteral("; existing targets replaced"); break;
    case AskToOverwrite: line += QStringLiteral("; existing targets asked about"); break;
    default: line += QStringLiteral("; existing targets kept"); break;  // unknown codes too
  }
  if (!o.isSet(o.noSettings) && !o.isSet(o.overwrite))
    line += QStringLiteral(" (stored setting, --overwrite to change)");
  return o.isSet(o.dryRun) ? QStringLiteral("dry run, nothing written: ") + line : line;
}
