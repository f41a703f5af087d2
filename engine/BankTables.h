#pragma once

#include <QByteArray>
#include <QString>
#include <array>

#include "engine/Refusal.h"

// The bank tables of the image being converted, and the recognition that
// fills them. Slot positions come from the image's length; ConvertFile()
// reads the slots of file number 1 and leaves the banks in BankData by bank
// number (0, 1, 8 and 9; the other indexes stay empty).

inline constexpr int BankCount = 10;
// The numbers of the four program banks, lowest first.
inline constexpr std::array<int, 4> SlotNames{0, 1, 8, 9};

inline constexpr qint64 K = 1024;
inline constexpr qint64 Size8K = 8 * K;
inline constexpr qint64 Size32K = 32 * K;
inline constexpr qint64 Size48K = 48 * K;
inline constexpr qint64 Size56K = 56 * K;
inline constexpr qint64 Size64K = 64 * K;

// The five accepted image lengths.
inline constexpr qint64 Length88K = 88 * K;    // two banks: 32K + 56K
inline constexpr qint64 Length112K = 112 * K;  // two banks: 56K + 56K
inline constexpr qint64 Length216K = 216 * K;  // four banks, slot 1 of 48K
inline constexpr qint64 Length224K = 224 * K;  // four banks of 56K
inline constexpr qint64 Length256K = 256 * K;  // four 64K slots: 56K bank + 8K fill

// Each thread has tables of its own, so that a look at a folder on a thread
// of its own never disturbs the image a run is converting.
extern thread_local std::array<qint64, BankCount> BankStart;
extern thread_local std::array<qint64, BankCount> BankLength;
std::array<QByteArray, BankCount>& BankData();

// Sets BankStart and BankLength for an image of the given length. False,
// tables untouched, for a length that is not one of the five.
bool ClassifyLength(qint64 imageLength);

// The class of an image of that length, "88K", "112K", "216K", "224K" or
// "256K"; empty for any other length.
QString LengthClassName(qint64 imageLength);

// Classifies file number 1 by its length. False when it is not open or has
// a length no layout has.
bool ClassifyImage();

// Recognises the banks of file number 1 (already classified) and leaves them
// in BankData. False when the image is rejected or a slot cannot be read.
bool ConvertFile();

// What the last ConvertFile() recognised, for the reports of a run and of
// the command line's inspect: the bank found in each slot (by slot name),
// where the bank data starts inside a 256K image's slots, and the check that
// refused the image.
struct RecognitionReport {
  std::array<quint8, BankCount> SlotBank{};
  qint64 PadOffset = -1;  // 256K only: 0 rear padding, 8192 front padding
  Refusal refusal = Refusal::None;
};
extern thread_local RecognitionReport LastRecognition;

// Empties all three tables, as at program start.
void ClearBankTables();
