#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <functional>

// Builds the output image from BankData and the chosen layout.

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

// The whole output image for the banks now in BankData.
QByteArray AssembleImage(const OutputLayout& layout);

// The same, built in *image, whose memory is reused when it is large
// enough: for callers that assemble one image after another.
void AssembleImage(const OutputLayout& layout, QByteArray* image);

// The same, built in the memory that memory(length) hands out for the
// image's length, every byte of which it writes.
void AssembleImage(const OutputLayout& layout, const std::function<char*(qint64)>& memory);
