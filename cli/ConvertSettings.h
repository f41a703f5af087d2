#pragma once

#include <QString>

class Options;
struct StatedLayouts;

// Puts the options of convert into ConversionSettings, over what the store
// or the defaults gave: first the ready-made layout of --preset, then each
// option given. Returns why a value is bad, or empty text.
QString ApplyConvertOptions(const Options& options);

// Puts the layout stated by --input-order and --input-pad into *stated, for
// every four-bank image whose marks cannot tell its banks apart. Returns why
// a value is bad, or empty text.
QString ApplyStatedOptions(const Options& options, StatedLayouts* stated);

// The folder as the run takes it: absolute, in the platform's separators,
// with a separator at its end.
QString RunFolder(const QString& argument);

// The layout in force, in words, and which of its parts are the stored
// settings: "layout 0,1,8,9, unpadded (stored settings, --order, --pad to
// change)".
QString DescribeLayout(const Options& options);

// What the run will do, in one line: the layout and what happens to existing
// targets, and which of these are the stored settings.
QString DescribeRun(const Options& options);
