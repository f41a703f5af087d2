#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

// Every option of the command line, and the parser that knows them. The two
// commands share one parser; each refuses the options of the other.
class Options {
 public:
  Options();

  // Parses the arguments; false, with error() telling why, on a usage error.
  bool parse(const QStringList& arguments);
  QString error() const { return error_; }

  // The help text: usage, options, the ready-made layouts, the exit codes.
  QString helpText() const;

  // The command word and what follows it.
  QString command() const;
  QStringList operands() const;

  bool isSet(const QCommandLineOption& option) const { return parser_.isSet(option); }
  QString value(const QCommandLineOption& option) const { return parser_.value(option); }

  // The options of convert given on this command line.
  QStringList convertOptionsGiven() const;

  const QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Shows this help.")};
  const QCommandLineOption version{QStringLiteral("version"),
                                   QStringLiteral("Shows the program's version.")};
  const QCommandLineOption json{
      QStringLiteral("json"),
      QStringLiteral("Writes one JSON object per file to stdout, then a summary object.")};

  const QCommandLineOption order{
      QStringLiteral("order"),
      QStringLiteral("Output bank order: four bank numbers, e.g. 8,1,0,9."),
      QStringLiteral("ORDER")};
  const QCommandLineOption pad{QStringLiteral("pad"),
                               QStringLiteral("Padding of each bank: none, 56k or 64k."),
                               QStringLiteral("SIZE")};
  const QCommandLineOption padType{
      QStringLiteral("pad-type"),
      QStringLiteral("Where the 8K of fill goes with 64k padding: rear or front."),
      QStringLiteral("WHERE")};
  const QCommandLineOption fill{QStringLiteral("fill"),
                                QStringLiteral("Fill byte, one or two hex digits, e.g. FF."),
                                QStringLiteral("HEX")};
  const QCommandLineOption bank1Only{QStringLiteral("bank1-only"),
                                     QStringLiteral("Writes bank 1 alone.")};
  const QCommandLineOption limit32K{QStringLiteral("limit-32k"),
                                    QStringLiteral("With --bank1-only: cuts bank 1 to 32K.")};
  const QCommandLineOption overwrite{
      QStringLiteral("overwrite"),
      QStringLiteral("An existing target is kept (never), replaced (always) or asked about "
                     "(ask; needs a terminal)."),
      QStringLiteral("POLICY")};
  const QCommandLineOption sourceExt{QStringLiteral("source-ext"),
                                     QStringLiteral("Extension of the files converted, e.g. .BIN."),
                                     QStringLiteral("EXT")};
  const QCommandLineOption targetExt{QStringLiteral("target-ext"),
                                     QStringLiteral("Extension of the files written, e.g. .BIN."),
                                     QStringLiteral("EXT")};
  const QCommandLineOption preset{
      QStringLiteral("preset"),
      QStringLiteral("One of the presets below (the ready-made layouts of the Options "
                     "window), by its number; the options given beside it win."),
      QStringLiteral("N")};
  const QCommandLineOption dryRun{
      QStringLiteral("dry-run"),
      QStringLiteral("Recognises and reports every file, writes nothing and asks nothing.")};
  const QCommandLineOption noSettings{
      QStringLiteral("no-settings"),
      QStringLiteral("Takes the options not given from the defaults, not from Quillet's stored "
                     "settings.")};

 private:
  QCommandLineParser parser_;
  QString error_;
};
