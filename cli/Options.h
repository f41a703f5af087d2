#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

// The commands, with what --help says of each and the shorter line the
// shells' completion shows.
struct CommandEntry {
  const char* name;
  const char* text;
  const char* summary;
};
extern const QList<CommandEntry> CommandTable;

// The words an option's value may be, in the order of the setting's codes.
inline const QStringList PadWords{QStringLiteral("none"), QStringLiteral("56k"),
                                  QStringLiteral("64k")};
inline const QStringList PadTypeWords{QStringLiteral("rear"), QStringLiteral("front")};
inline const QStringList OverwriteWords{QStringLiteral("never"), QStringLiteral("always"),
                                        QStringLiteral("ask")};
inline const QStringList ShellWords{QStringLiteral("bash"), QStringLiteral("zsh"),
                                    QStringLiteral("fish")};

// The word of the list closest to word, letter case ignored, when it is close
// enough to be a slip of the keyboard; empty text otherwise.
QString ClosestWord(const QString& word, const QStringList& known);

// "unknown option '--ovewrite'; did you mean --overwrite?", or without a
// guess, a pointer to --help.
QString UnknownWordError(const QString& kind, const QString& word, const QString& guess);

// Every option of the command line, and the parser that knows them. The two
// commands share one parser; inspect refuses the options about writing.
class Options {
 public:
  Options();
  // The table points into the object itself.
  Options(const Options&) = delete;
  Options& operator=(const Options&) = delete;

  // Parses the arguments; false, with error() telling why, on a usage error.
  bool parse(const QStringList& arguments);
  QString error() const { return error_; }

  // The help text: usage, commands, options, the ready-made layouts, the
  // JSON objects, exit status, environment, files and examples.
  QString helpText() const;

  // The command word and what follows it.
  QString command() const;
  QStringList operands() const;

  bool isSet(const QCommandLineOption& option) const { return parser_.isSet(option); }
  QString value(const QCommandLineOption& option) const { return parser_.value(option); }

  // The options given on this command line that only convert takes: those
  // about the files a run writes.
  QStringList convertOnlyOptionsGiven() const;

  // Every option, in the order --help lists them; the hidden ones last.
  const QList<const QCommandLineOption*>& table() const { return table_; }
  // The words an option's value is one of; empty for a free value.
  QStringList valueWords(const QCommandLineOption& option) const;

  const QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Shows this help.")};
  const QCommandLineOption version{QStringLiteral("version"),
                                   QStringLiteral("Shows the program's version.")};

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
  const QCommandLineOption inputOrder{
      QStringLiteral("input-order"),
      QStringLiteral("For four-bank images whose marks cannot tell their banks apart: the\n"
                     "banks 0, 1, 8 and 9 in file order, each once, e.g. 1,8,0,9."),
      QStringLiteral("ORDER")};
  const QCommandLineOption inputPad{
      QStringLiteral("input-pad"),
      QStringLiteral("For such 256K images: where the 8K of fill stands in each slot, front\n"
                     "or rear."),
      QStringLiteral("WHERE")};
  const QCommandLineOption overwrite{
      QStringLiteral("overwrite"),
      QStringLiteral("An existing target is kept (never), replaced (always) or asked about "
                     "(ask; needs a terminal)."),
      QStringLiteral("POLICY")};
  const QCommandLineOption sourceExt{
      QStringLiteral("source-ext"),
      QStringLiteral("Extension of the files converted from SOURCE_FOLDER, e.g. .BIN."),
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
      QStringLiteral("Writes nothing and asks nothing: tells for every file whether it would be "
                     "written, replace its target, keep it or ask about it, or why not.")};
  const QCommandLineOption noSettings{
      QStringLiteral("no-settings"),
      QStringLiteral("Takes the options not given from the defaults, not from Quillet's stored "
                     "settings.")};
  const QCommandLineOption json{
      QStringLiteral("json"),
      QStringLiteral("Writes one JSON object per file to stdout, then a summary object.")};
  const QCommandLineOption quiet{
      {QStringLiteral("q"), QStringLiteral("quiet")},
      QStringLiteral("Leaves out the run's first line and the lines of files not converted; "
                     "errors are still told.")};
  // Prints the completion script of a shell; the build installs its output.
  const QCommandLineOption completion =
      hidden({QStringLiteral("completion"),
              QStringLiteral("Prints the completion script of a shell."), QStringLiteral("SHELL")});

 private:
  static QCommandLineOption hidden(QCommandLineOption option) {
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    return option;
  }
  QString unknownOptionError() const;

  QList<const QCommandLineOption*> table_;
  QCommandLineParser parser_;
  QString error_;
};
