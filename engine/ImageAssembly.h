#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <array>
#include <optional>

#include "engine/ImageReading.h"

// The output image of a read image in the chosen layout: where each of its
// bytes comes from, and the image built from that.

enum class PadSizeCode : quint8 { NoPadding = 0, Pad56K = 1, Pad64K = 2 };

// The layout of every image of one run, resolved from the settings once the
// run starts: the order as bank numbers, the fill as a byte.
struct OutputLayout {
  std::array<int, 4> order{0, 1, 8, 9};
  PadSizeCode padSize = PadSizeCode::NoPadding;
  bool frontPadding = false;  // 64K padding only: 8K of fill before each bank
  quint8 fillByte = 0xFF;
  bool bank1Only = false;
  bool limit32K = false;  // bank 1 only: cut it to 32K
};

enum class LayoutError { None, BadOrder, BadPadValue };

// Checks the stored layout texts and codes and resolves them; each text is
// checked only when the layout uses it. The order text, unused by bank 1
// alone, needs at least four pieces separated by ",", each a whole number
// from 0 to 9 written in decimal digits (pieces after the fourth are
// ignored). The pad value, used only by padded layouts, must be hex digits
// whose value fits a byte ("FF", "0a", "7", "0FF"). A PadSize code other
// than 0, 1 and 2 means no padding; any non-zero PadType means front
// padding. On success *layout holds the result; on failure it is left
// unchanged.
LayoutError ResolveLayout(const QString& outOrder, const QString& padValue, quint8 padSize,
                          quint8 padType, quint8 bank1Only, quint8 limit32K, OutputLayout* layout);

// The bank order the user gives, in the options window or on the command
// line: "#,#,#,#", four bank numbers from 0 to 9 separated by commas. With
// eachBankOnce, the numbers must be 0, 1, 8 and 9, each once, as the order
// of an image's banks in its file is. Empty when the text is not such an
// order.
std::optional<std::array<int, 4>> CheckBankOrder(const QString& text, bool eachBankOnce = false);

// A run of output bytes and the input bytes they are copied from.
struct OutputPiece {
  qint64 outputOffset;
  qint64 inputOffset;
  qint64 length;
  int bank;
};

// Where every byte of an output image comes from: the pieces copied from
// the input, in output order, and fill everywhere else.
struct OutputPlan {
  qint64 length = 0;
  quint8 fill = 0xFF;
  QList<OutputPiece> pieces;
  // Banks of the image that the output holds more than once, or not at all
  // (bank 1 alone leaves out the others by choice, and they are not named).
  QList<int> repeated;
  QList<int> missing;
};

// The output of that layout for a read image. An unread image has no output.
OutputPlan PlanOutput(const ImageReading& reading, const OutputLayout& layout);

// Writes the planned output of the image into out, plan.length bytes, every
// one of them written.
void AssembleImage(const OutputPlan& plan, QByteArrayView image, char* out);
