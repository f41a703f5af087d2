// quillet-cli, driven as a script drives it: the same bytes as the window's
// run, the refusals and their exit codes, JSON reports, and inspect.
#include <QtTest>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#endif
#if defined(Q_OS_LINUX)
#include <pty.h>
#elif defined(Q_OS_DARWIN)
#include <util.h>
#endif

#include "batch/ImageWords.h"
#include "batch/Messages.h"
#include "cli/ProgressLine.h"
#include "engine/ImageFindings.h"
#include "engine/Lib_Convert.h"
#include "engine/NativeFile.h"
#include "settings/Presets.h"
#include "settings/modGlobals.h"
#include "settings/modRegistry.h"
#include "tests/support/Cli.h"
#include "tests/support/RunFixture.h"
#include "tools/ImageBuilder.h"

using namespace ImageBuilder;

namespace {

// A 256K image with text in the padding of slot 1, which every layout leaves out.
QByteArray withCalText(const QByteArray& bank1) {
  return With(Image256K({Bank0(), bank1, Bank8(), Bank9()}, true), 0x10100, "CAL 4.2 EEC");
}

// Replaces %S, %T and %M (a folder that does not exist) by the fixture's folders, %L by the
// default layout as the first line names it, and %N by the words of withCalText()'s notice.
QString placed(QString text, const RunFixture& f) {
  return text.replace("%S", f.source())
      .replace("%T", f.target())
      .replace("%M", f.root() + "/missing/")
      .replace("%L", "layout 0,1,8,9, unpadded")
      .replace("%N",
               ": note, the layout leaves out 11 bytes that are not fill: padding of slot 1 "
               "at 0x10000 (\"CAL 4.2 EEC\")");
}

QStringList words(const char* text, const RunFixture& f) {
  QStringList args;
  for (const QString& word : QString::fromLatin1(text).split(u' ', Qt::SkipEmptyParts))
    args << (word == u"\"\"" ? QString() : placed(word, f));  // "" is an empty argument
  return args;
}

// clang-format off
// Settings stored (or none), the options given, the same settings for the window's run, and
// the exit code and first line on stderr of quillet-cli's.
struct Layout { const char* name; const char* storedOrder, *storedPadSize, *args; quint8 padSize, padType; const char* order, *fill; quint8 bank1Only, limit32K; int code; const char* said; };
const Layout layouts[] = {
    {"order 8,1,0,9 unpadded", nullptr, nullptr, "--no-settings --order 8,1,0,9 --pad none", NoPadding, RearPadding, "8,1,0,9", "FF", 0, 0, 1, "layout 8,1,0,9, unpadded; existing targets kept"},
    {"56K padding, fill 00", nullptr, nullptr, "--no-settings --pad 56K --fill 0", Padding56K, RearPadding, "0,1,8,9", "00", 0, 0, 1, "layout 0,1,8,9, 56K per bank, fill 00; existing targets kept"},
    {"64K rear padding, order 0,1,9,8", nullptr, nullptr, "--no-settings --pad 64k --pad-type rear --order 0,1,9,8", Padding64K, RearPadding, "0,1,9,8", "FF", 0, 0, 1, "layout 0,1,9,8, 64K per bank, 8K of fill at the rear, fill FF; existing targets kept"},
    {"preset 4: 64K front padding", nullptr, nullptr, "--no-settings --preset 4", Padding64K, FrontPadding, "0,1,8,9", "FF", 0, 0, 1, "layout 0,1,8,9, 64K per bank, 8K of fill in front, fill FF; existing targets kept"},
    {"bank 1 cut to 32K", nullptr, nullptr, "--no-settings --bank1-only --limit-32k --pad 64k", Padding64K, RearPadding, "0,1,8,9", "FF", 1, 1, 1, "layout bank 1 alone, cut to 32K; existing targets kept"},
    {"stored 56K padding", "0,1,8,9", "1", "", Padding56K, RearPadding, "0,1,8,9", "FF", 0, 0, 1, "layout 0,1,8,9, 56K per bank, fill FF (stored settings, --order, --pad, --fill to change); existing targets kept (stored setting, --overwrite to change)"},
    {"--no-settings ignores the store", "0,1,8,9", "1", "--no-settings", NoPadding, RearPadding, "0,1,8,9", "FF", 0, 0, 1, "layout 0,1,8,9, unpadded; existing targets kept"},
    {"an option given wins over the store", "0,1,8,9", "1", "--pad 64k --overwrite always", Padding64K, RearPadding, "0,1,8,9", "FF", 0, 0, 1, "layout 0,1,8,9, 64K per bank, 8K of fill at the rear, fill FF (order, fill position, fill from the stored settings, --order, --pad-type, --fill to change); existing targets replaced"},
    {"stored order the run cannot use", "0,1,8", "0", "", NoPadding, RearPadding, "0,1,8", "FF", 0, 0, 3, "layout 0,1,8, unpadded (stored settings, --order, --pad to change); existing targets kept (stored setting, --overwrite to change)"},
};

// Sources a.BIN (216K, nothing left out), b.BIN (withCalText()), c.BIN (no layout's length)
// and the folder d.BIN; the target a.BIN exists and stays. Words as placed() takes them. A run's
// output is compared line by line; a refusal (exit code 2 or 3) writes nothing and its message
// holds err. %1 in the JSON lines is whether it is a dry run.
const char* const JsonLines = R"({"action":"keep","class":"216K","name":"a.BIN","nameBytes":"YS5CSU4=","outcome":"skipped","reason":"the target exists and was kept","target":"a.BIN","type":"file"}
{"action":"create","class":"256K","name":"b.BIN","nameBytes":"Yi5CSU4=","outcome":"converted","reason":null,"target":"b.BIN","type":"file"}
{"action":null,"class":null,"name":"c.BIN","nameBytes":"Yy5CSU4=","outcome":"refused","reason":"no image layout has this length","target":"c.BIN","type":"file"}
{"name":"d.BIN","nameBytes":"ZC5CSU4=","reason":"it is a folder","type":"passed-over"}
{"converted":1,"dryRun":%1,"end":"completed","message":"3 total files %2 processed. 1 files %2 converted and  2 %2 skipped.","notRead":0,"passedOver":1,"refused":1,"skipped":2,"total":3,"type":"summary"})";
QString jsonLines(bool dryRun) { return QString::fromUtf8(JsonLines).arg(dryRun ? "true" : "false", dryRun ? "would be" : "were"); }
struct Invocation { const char* name; const char* args; int code; QString out; const char* err; };
const Invocation invocations[] = {
    {"same folder and extension, told under --quiet too", "convert %S %S -q", 3, "", "Folder Error: The Source and Target folders/extensions are the same.\nPlease change"},
    {"no files of the extension", "convert %S %T --source-ext HEX", 3, "", "No Files Found: No '*.HEX' files found in source folder."},
    {"source folder missing", "convert %M %T", 3, "", "The Source folder does not exist"},
    {"ask with no terminal to ask on", "convert %S %T --overwrite ask", 2, "", "not a terminal"},
    {"unknown pad size", "convert %S %T --pad 48k", 2, "", "bad value '48k' for --pad"},
    {"order of three banks", "convert %S %T --order 0,1,8", 2, "", "for --order"},
    {"an input order naming a bank twice", "convert %S %T --input-order 0,1,1,9", 2, "", "bad value '0,1,1,9' for --input-order"},
    {"where the fill stands, without an input order", "inspect %Sa.BIN --input-pad front", 2, "", "--input-pad needs --input-order"},
    {"one folder only", "convert %S", 2, "", "needs SOURCE_FOLDER or FILE... and TARGET_FOLDER"},
    {"mistyped command", "convet %S %T", 2, "", "unknown command 'convet'; did you mean convert?"},
    {"mistyped option", "convert %S %T --ovewrite never", 2, "", "unknown option '--ovewrite'; did you mean --overwrite?"},
    {"unknown option close to none", "convert %S %T --colour", 2, "", "unknown option '--colour'; see quillet-cli --help"},
    {"inspect with options about writing", "inspect %S --pad 56k --dry-run -q", 2, "", "inspect takes no --dry-run, --quiet"},
    {"a target kept under never is no failure; bytes left out are noted", "convert %Sa.BIN %Sb.BIN %T --overwrite never --no-settings", 0, "2 total files were processed. 1 files were converted and  1 were skipped.", "%L; existing targets kept\n%Sa.BIN: skipped, the target exists and was kept\n%Sb.BIN%N"},
    {"--quiet leaves out the first line and the note, not the file skipped", "convert %Sa.BIN %Sb.BIN %T --overwrite never -q --no-settings", 0, "2 total files were processed. 1 files were converted and  1 were skipped.", "%Sa.BIN: skipped, the target exists and was kept"},
    {"--quiet still tells an image refused", "convert %S %T --overwrite never -q --no-settings", 1, "3 total files were processed. 1 files were converted and  2 were skipped.", "a.BIN: skipped, the target exists and was kept\nc.BIN: refused, no image layout has this length"},
    {"an empty folder argument", "convert %S \"\"", 2, "", "an empty folder or file name was given"},
    {"dry run predicts the kept target and notes the bytes left out", "convert %Sa.BIN %Sb.BIN %T --overwrite never --dry-run --no-settings", 0, "%Sa.BIN: 216K, would keep the existing a.BIN\n%Sb.BIN: 256K, would be written as b.BIN\n2 total files would be processed. 1 files would be converted and  1 would be skipped.", "dry run, nothing written: %L; existing targets kept\n%Sb.BIN%N"},
    {"dry run predicts the question, with no terminal", "convert %Sa.BIN %Sb.BIN %T --overwrite ask --dry-run -q --no-settings", 0, "%Sa.BIN: 216K, would ask whether to replace a.BIN\n%Sb.BIN: 256K, would be written as b.BIN\n2 total files would be processed. 2 files would be converted and  0 would be skipped.", ""},
    {"image files in the order given, a missing one told", "convert %Sb.BIN %Mx.BIN %Sa.BIN %T --overwrite always --dry-run -q --no-settings", 1, "%Sb.BIN: 256K, would be written as b.BIN\n%Mx.BIN: skipped, the source is not there\n%Sa.BIN: 216K, would replace a.BIN\n3 total files would be processed. 2 files would be converted and  1 would be skipped.", ""},
    {"a missing image file is a failure", "convert %Sb.BIN %Mx.BIN %T --no-settings", 1, "2 total files were processed. 1 files were converted and  1 were skipped.", "%L; existing targets kept\n%Sb.BIN%N\n%Mx.BIN: skipped, the source is not there"},
    {"JSON: a line for every file and for what was passed over, then the summary", "convert %S %T --json --no-settings", 1, jsonLines(false), "%L; existing targets kept\nb.BIN%N"},
    {"JSON of a dry run: the same, writing nothing", "convert %S %T --json --dry-run --no-settings", 1, jsonLines(true), "dry run, nothing written: %L; existing targets kept\nb.BIN%N"},
};

// An image inspected with a stored order (or none) and the options given: the line on stderr,
// the JSON of its class, padding and slots (null for withCalText(Bank1()), whose bank 1 and text
// are looked at instead), its refusal, and the ranges told as dropped ("-": none told).
struct Inspected { const char* name; QByteArray image; const char* storedOrder, *args, *said, *found, *refusal, *dropped; };
const char* const Unpadded = "dropped bytes are those of the layout 0,1,8,9, unpadded";
const Inspected inspections[] = {
    {"88K, bank 1 first", Image88K(Bank1(32 * K), Bank8()), nullptr, "--no-settings", Unpadded, R"({"class":"88K","padding":null,"slots":[{"bank":1,"length":32768,"offset":0,"slot":1},{"bank":8,"length":57344,"offset":32768,"slot":8}]})", "", ""},
    {"256K front padding", Image256K({Bank0(), Bank1(), Bank8(), Bank9()}, true), nullptr, "--no-settings", Unpadded, R"({"class":"256K","padding":"front","slots":[{"bank":0,"length":57344,"offset":8192,"slot":0},{"bank":1,"length":57344,"offset":73728,"slot":1},{"bank":8,"length":57344,"offset":139264,"slot":8},{"bank":9,"length":57344,"offset":204800,"slot":9}]})", "", "bank 1 past 48K"},
    {"256K rear padding", Image256K({Bank1(), Bank0(), Bank9(), Bank8()}, false), nullptr, "--no-settings", Unpadded, R"({"class":"256K","padding":"rear","slots":[{"bank":1,"length":57344,"offset":0,"slot":0},{"bank":0,"length":57344,"offset":65536,"slot":1},{"bank":9,"length":57344,"offset":131072,"slot":8},{"bank":8,"length":57344,"offset":196608,"slot":9}]})", "", "bank 1 past 48K"},
    {"224K with slot 0 blank", Image224K({Fill(56 * K, 0xFF), Bank1(), Bank8(), Bank9()}), nullptr, "--no-settings", Unpadded, R"({"class":"224K","padding":null,"slots":[]})", "slot 0 begins FF FF; stating its layout reads it", "-"},
    {"216K with bank 1 first: not told apart by the marks", Bank1(48 * K) + Bank8() + Bank0() + Bank9(), nullptr, "--no-settings", Unpadded, R"({"class":"216K","padding":null,"slots":[{"bank":1,"length":57344,"offset":0,"slot":0},{"bank":0,"length":49152,"offset":57344,"slot":1},{"bank":0,"length":57344,"offset":106496,"slot":8},{"bank":9,"length":57344,"offset":163840,"slot":9}]})", "the banks cannot be told apart: slots 1 and 8 both read as bank 0, and no slot as bank 8; stating its layout reads it", "-"},
    {"216K with bank 1 first, read as stated", Bank1(48 * K) + Bank8() + Bank0() + Bank9(), nullptr, "--no-settings --input-order 1,8,0,9", Unpadded, R"({"class":"216K","padding":null,"slots":[{"bank":1,"length":49152,"offset":0,"slot":0},{"bank":8,"length":57344,"offset":49152,"slot":1},{"bank":0,"length":57344,"offset":106496,"slot":8},{"bank":9,"length":57344,"offset":163840,"slot":9}]})", "", ""},
    {"length of no layout", Body(256 * K + 1, 0x10), nullptr, "--no-settings", Unpadded, R"({"class":null,"padding":null,"slots":[]})", "no image layout has this length", "-"},
    {"text in the padding, defaults", withCalText(Bank1()), nullptr, "--no-settings", Unpadded, nullptr, "", "padding of slot 1|bank 1 past 48K"},
    {"the stored order", withCalText(Bank1()), "9,1,8,8", "", "dropped bytes are those of the layout 9,1,8,8, unpadded (stored settings, --order, --pad to change)", nullptr, "", "bank 0 (not in the output order)|padding of slot 1|bank 1 past 48K"},
    {"a stored order that cannot be used", withCalText(Bank1()), "0,1,8", "", "quillet-cli: the stored bank order '0,1,8' cannot be used, so no dropped bytes are told (--order to give one)", nullptr, "", "-"},
    {"bank 1 alone needs no order", withCalText(Bank1()), "0,1,8", "--bank1-only", "dropped bytes are those of the layout bank 1 alone", nullptr, "", "bank 0 (left out with bank 1 only)|padding of slot 1|bank 1 past 48K|bank 8 (left out with bank 1 only)|bank 9 (left out with bank 1 only)"},
};
// A script, the exit code, and words on standard output or error.
struct System { const char* name; bool linuxOnly; const char* script; int code; const char* said; };
const System systems[] = {
    {"a low limit on open files; folder and file names that are not UTF-8 keep their bytes", false, "s=\"$(printf 'lat\\351')\" && mv src \"$s\" && mv \"$s/f0.BIN\" \"$s/$s.BIN\" && ulimit -n 40 && \"$0\" convert \"$s\" dst --no-settings -q && test -f \"dst/$s.BIN\"; e=$?; rm -rf \"$s\" dst; exit $e", 0, "150 files were converted and  0 were skipped."},
    {"a store that cannot be read: the defaults, and the first line says why", true, "chmod 777 . src dst && s=\"$QUILLET_SETTINGS_ROOT/Quillet\" && mkdir -p \"$s\" && printf '[User]\\nOutOrder=8,1,0,9\\n' > \"$s/Quillet.conf\" && chmod 000 \"$s/Quillet.conf\" && chmod 755 \"$QUILLET_SETTINGS_ROOT\" \"$s\" && $u \"$0\" convert src dst --dry-run", 0, "Quillet.conf: it cannot be read: Permission denied), so the defaults are used; layout 0,1,8,9, unpadded; existing targets kept\n"},
    {"the dry run refuses it as the run does", true, "chmod 777 . src && chmod 555 dst && $u \"$0\" convert src dst --no-settings --dry-run", 3, "The Target folder cannot be written:"},
};

// Names that would act on a terminal or fake a line if printed raw: an escape that writes the
// clipboard, one that sets the window title, a line break with a fake summary after it, a carriage
// return that hides the start of its line, a colour, the byte that is an escape by itself on
// 8-bit terminals (and no UTF-8), and the mark that turns the text after it around.
struct Hostile { const char* name; QByteArray bytes; };
const Hostile hostiles[] = {
    {"clipboard escape", "clip\x1b]52;c;ZXZpbA==\x07.bin"},
    {"title escape", "title\x1b]0;PWNED\x07.bin"},
    {"line break and a fake summary", "nl\nFAKE: 99 files converted.bin"},
    {"carriage return", "cr\rOVERWRITE.bin"},
    {"colour", "\x1b[31mred.bin"},
    {"a byte that is no UTF-8", "csi\x9b" "31m.bin"},
    {"right-to-left override", "\xe2\x80\xae" "nib.exe.bin"},
};
// clang-format on

#ifdef Q_OS_UNIX
// What in a program's output would act on a terminal rather than show: a control character (a
// line break ends a line; a carriage return only where the progress line is drawn again), a byte
// that is no UTF-8, a C1 control or a mark that turns the text around. Empty when there is none.
QString controlIn(const QByteArray& out) {
  static const QRegularExpression control(QStringLiteral(
      "[\\x00-\\x09\\x0B\\x0C\\x0E-\\x1F\\x7F-\\x9F\\x{061C}\\x{200E}\\x{200F}\\x{202A}-\\x{202E}"
      "\\x{2066}-\\x{2069}]|\\r(?![0-9 \\r]|\\z)"));
  const QString text = QString::fromUtf8(out);
  if (text.toUtf8() != out) return QStringLiteral("bytes that are no UTF-8");
  const QRegularExpressionMatch m = control.match(text);
  if (!m.hasMatch()) return {};
  return QStringLiteral("U+%1 at %2 in: %3")
      .arg(int(m.captured().front().unicode()), 4, 16, QLatin1Char('0'))
      .arg(m.capturedStart())
      .arg(QString::fromLatin1(out.toPercentEncoding(" /:.,;'()")));
}

// Makes the source and target folders' files of a hostile name by its exact bytes, and gives
// them: a converted image with a note, a source whose target exists (kept, or asked about), and a
// folder passed over.
QList<QByteArray> putHostile(const RunFixture& f, const QByteArray& name) {
  const QList<QByteArray> files{name, "kept " + name, "folder " + name};
  const auto put = [](const QString& folder, const QByteArray& file, const QByteArray& data) {
    QVERIFY(WriteFile(folder + "put.tmp", data));
    QVERIFY(::rename(QFile::encodeName(folder + "put.tmp"), QFile::encodeName(folder) + file) == 0);
  };
  put(f.source(), files[0], withCalText(Bank1(48 * K)));
  put(f.source(), files[1], FourBankImage());
  put(f.target(), files[1], "old");
  [&] { QVERIFY(::mkdir(QFile::encodeName(f.source()) + files[2], 0700) == 0); }();
  return files;
}
#endif

#if defined(Q_OS_LINUX) || defined(Q_OS_DARWIN)
// Runs quillet-cli on a pseudo-terminal, as a user at a terminal does, with the settings of root:
// its stdin, stdout and stderr are the terminal, which takes the bytes as they are (no line
// discipline adds or echoes any). Gives the exit code and everything the terminal received.
std::pair<int, QByteArray> runOnTerminal(const QStringList& args, const QByteArray& typed,
                                         const QString& settingsRoot) {
  struct termios raw {};
  cfmakeraw(&raw);
  raw.c_cc[VMIN] = 1;
  // Made before the fork: the child of a process with threads only execs.
  QList<QByteArray> argv{QUILLET_CLI},
      environment{"QUILLET_SETTINGS_ROOT=" + QFile::encodeName(settingsRoot)};
  for (const QString& arg : args) argv << QFile::encodeName(arg);
  for (char** variable = environ; *variable; ++variable) environment << *variable;
  std::vector<char*> pointers, envp;
  for (QByteArray& arg : argv) pointers.push_back(arg.data());
  for (QByteArray& variable : environment) envp.push_back(variable.data());
  pointers.push_back(nullptr);
  envp.push_back(nullptr);
  int master = -1;
  const pid_t pid = forkpty(&master, nullptr, &raw, nullptr);
  if (pid < 0) return {-1, {}};
  if (pid == 0) {
    ::execve(pointers[0], pointers.data(), envp.data());
    ::_exit(127);
  }
  if (!typed.isEmpty()) (void)!::write(master, typed.constData(), size_t(typed.size()));
  QByteArray out;
  char buffer[4096];
  for (QDeadlineTimer deadline(60000); !deadline.hasExpired();) {
    pollfd ready{master, POLLIN, 0};
    if (::poll(&ready, 1, 200) == 0) continue;
    const ssize_t n = ::read(master, buffer, sizeof buffer);
    if (n <= 0) break;  // the program has ended and the terminal is closed
    out.append(buffer, n);
  }
  ::close(master);
  ::kill(pid, SIGKILL);  // one still waiting after a minute; nothing to one that has ended
  int status = 0;
  ::waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1000 - WTERMSIG(status), out};
}
#endif

}  // namespace

class TestCli : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  // Settings stored are read and never written, and options given win over them.
  void convertWritesWhatTheWindowWrites_data() { addRows(layouts); }
  void convertWritesWhatTheWindowWrites() {
    QFETCH(int, row);
    const Layout& l = layouts[row];
    RunFixture f;
    for (const auto& [name, image] : SampleImages()) f.putSource(name, image);
    auto& s = ConversionSettings;
    s.PadSize = l.padSize, s.PadType = l.padType, s.OutOrder = l.order, s.PadValue = l.fill;
    s.Bank1Only = l.bank1Only, s.Limit32K = l.limit32K;
    f.reorder();
    const QString cliTarget = f.root() + "/cli/";
    QDir().mkpath(cliTarget);
    if (l.storedOrder) SaveSetting("Quillet", "User", "OutOrder", l.storedOrder);
    if (l.storedPadSize) SaveSetting("Quillet", "User", "PadSize", l.storedPadSize);
    const auto store = f.store().contents();

    const CliResult r =
        RunCli(QStringList{"convert", f.source(), cliTarget} + words(l.args, f), f.store());
    QCOMPARE(r.code, l.code);
    QCOMPARE(RunFixture::snapshot(cliTarget), RunFixture::snapshot(f.target()));
    QCOMPARE(f.store().contents(), store);
    QCOMPARE(r.err.section(u'\n', 0, 0), QString::fromLatin1(l.said));
    if (l.code == 3) return;  // refused as the window refuses it, nothing written by either
    QCOMPARE(r.out, QStringLiteral("7 total files were processed. 6 files were converted and  1 "
                                   "were skipped.\n"));
    QVERIFY(r.err.contains("\nunknown_length.bin: refused, no image layout has this length\n"));
  }

  void runsAndRefusals_data() { addRows(invocations); }
  void runsAndRefusals() {
    QFETCH(int, row);
    const Invocation& t = invocations[row];
    RunFixture f;
    f.putSource("a.BIN", Image216K({Bank0(), Bank1(48 * K), Bank8(), Bank9()}));
    f.putSource("b.BIN", withCalText(Bank1(48 * K)));
    f.putSource("c.BIN", "short");
    QVERIFY(QDir(f.source()).mkdir("d.BIN"));
    f.putTarget("a.BIN", "old");
    const CliResult r = RunCli(words(t.args, f), f.store());
    QCOMPARE(r.code, t.code);
    const bool writes = t.code < 2 && !QString(t.args).contains("--dry-run");
    QCOMPARE(RunFixture::snapshot(f.target()).keys(),
             writes ? QStringList({"a.BIN", "b.BIN"}) : QStringList{"a.BIN"});
    QCOMPARE(ReadFile(f.target() + "a.BIN"), QByteArray("old"));
    if (t.code >= 2) {
      QVERIFY2(r.err.contains(QString::fromUtf8(t.err)), qPrintable(r.err));
      QCOMPARE(r.out, QString());
      return;
    }
    const auto lines = [&](const QString& text) { return text.split(u'\n', Qt::SkipEmptyParts); };
    QCOMPARE(lines(r.out), lines(placed(t.out, f)));
    QCOMPARE(lines(r.err), lines(placed(t.err, f)));
  }

  // What the layout leaves out depends on the layout, which inspect takes as convert does. The
  // text of withCalText(Bank1()) is looked at beside a folder and a file that is not there.
  void inspect_data() { addRows(inspections); }
  void inspect() {
    QFETCH(int, row);
    const Inspected& t = inspections[row];
    const TemporarySettingsStore store;
    if (t.storedOrder) SaveSetting("Quillet", "User", "OutOrder", t.storedOrder);
    QTemporaryDir dir;
    const QString path = dir.filePath("image.bin"), missing = dir.filePath("none.bin");
    WriteFile(path, t.image);
    const QStringList args = QString::fromLatin1(t.args).split(u' ', Qt::SkipEmptyParts);

    const CliResult json = RunCli(QStringList{"inspect", "--json", path} + args, store);
    QCOMPARE(json.code, *t.refusal ? 1 : 0);
    QCOMPARE(json.err, QString::fromLatin1(t.said) + u'\n');
    const QJsonObject o = QJsonDocument::fromJson(json.out.toUtf8()).object();
    QCOMPARE(o[u"refusal"].toString(), QString::fromUtf8(t.refusal));
    QStringList dropped;
    for (const QJsonValue v : o[u"dropped"].toArray()) dropped << v[u"where"].toString();
    QCOMPARE(o[u"dropped"].isNull() ? QStringLiteral("-") : dropped.join(u'|'), t.dropped);
    if (t.found) {
      const QJsonObject found{
          {"class", o[u"class"]}, {"padding", o[u"padding"]}, {"slots", o[u"slots"]}};
      QCOMPARE(QJsonDocument(found).toJson(QJsonDocument::Compact), QByteArray(t.found));
      return;
    }
    const QString crc = ImageWords::Crc32Text(Crc32(Bank1().first(48 * K)));
    QCOMPARE(o[u"banks"].toArray()[1].toObject()[u"crc32"].toString(), crc);
    const CliResult text = RunCli(QStringList{"inspect", path, dir.path(), missing} + args, store);
    QCOMPARE(text.code, 1);
    QVERIFY(text.out.contains("  bank 1 kept: 49152 bytes from slot 1, CRC-32 " + crc + u'\n'));
    QCOMPARE(text.out.contains("  0x10000, 8192 bytes: padding of slot 1; 11 not fill (fill FF), "
                               "text \"CAL 4.2 EEC\"\n"),
             dropped.contains("padding of slot 1"));
    QVERIFY2(
        text.out.contains(u'\n' + dir.path() + ": is a folder\n" + missing + ": is not there\n"),
        qPrintable(text.out));
  }

  // A hostile name reaches a script's pipe and a user's terminal as text on every path that prints
  // it, never as control; JSON gives its exact bytes as well.
  void hostileNamesShowAsText_data() { addRows(hostiles); }
  void hostileNamesShowAsText() {
#ifndef Q_OS_UNIX
    QSKIP("Windows takes no control characters and no bytes that are not UTF-16 in a name");
#else
    QFETCH(int, row);
    const QByteArray name = hostiles[row].bytes;
    RunFixture f;
    const QList<QByteArray> files = putHostile(f, name);
    QStringList shown;
    for (const QByteArray& file : files)
      shown << Lib_Convert::ShownText(NativeFile::DecodeName(file));
    // Pipes, as a script reads them: every line of a run, of a dry run and of inspect.
    const auto shell = [&](const QString& script, const QString& folder) {
      return RunCli({"-c", script, QUILLET_CLI}, f.store(), "/bin/sh", folder);
    };
    const auto bytes = [](const CliResult& r) { return (r.out + r.err).toUtf8(); };
    const QStringList convert{"convert",       f.source(),     f.target(),
                              "--no-settings", "--target-ext", ".bin"};
    const CliResult run = RunCli(convert, f.store());
    QCOMPARE(run.code, 0);
    QCOMPARE(controlIn(bytes(run)), QString());
    QVERIFY2(run.err.contains(shown[0] + ": note, the layout leaves out"), qPrintable(run.err));
    QVERIFY(run.err.contains(shown[1] + ": skipped, the target exists and was kept\n"));
    QVERIFY(run.err.contains(shown[2] + ": passed over, it is a folder\n"));
    const CliResult dry = RunCli(convert + QStringList{"--dry-run"}, f.store());
    QCOMPARE(controlIn(bytes(dry)), QString());
    QVERIFY(dry.out.contains(shown[1] + ": 224K, would keep the existing " + shown[1] + u'\n'));
    const CliResult inspect = shell("\"$0\" inspect --no-settings src/*.bin", f.root());
    QCOMPARE(controlIn(bytes(inspect)), QString());
    QVERIFY2(inspect.out.contains("src/" + shown[0] + ": 256K"), qPrintable(inspect.out));
    // A stored order holding the name is echoed as text by the first line of a refused run.
    SaveSetting("Quillet", "User", "OutOrder", NativeFile::DecodeName(name));
    const CliResult stored = RunCli({"convert", f.source(), f.target()}, f.store());
    QCOMPARE(stored.code, 3);
    QCOMPARE(controlIn(bytes(stored)), QString());

    // JSON keeps each name as text and gives its bytes, which name the very file.
    const CliResult json = RunCli(convert + QStringList{"--json", "--dry-run"}, f.store());
    const CliResult inspectJson = shell("\"$0\" inspect --json --no-settings src/*.bin", f.root());
    QSet<QByteArray> named;
    for (const CliResult* r : {&json, &inspectJson}) {
      for (const QString& line : r->out.split(u'\n', Qt::SkipEmptyParts)) {
        const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
        if (!o.contains(u"nameBytes")) continue;
        const QByteArray exact = QByteArray::fromBase64(o[u"nameBytes"].toString().toLatin1());
        QCOMPARE(NativeFile::DecodeName(exact), o[u"name"].toString());
        named.insert(exact.mid(exact.lastIndexOf('/') + 1));
      }
    }
    QCOMPARE(named, QSet<QByteArray>(files.begin(), files.end()));

#if defined(Q_OS_LINUX) || defined(Q_OS_DARWIN)
    // A terminal: the run's lines and the overwrite questions (the converted image's target is
    // there now too), answered n.
    const auto [code, screen] =
        runOnTerminal(convert + QStringList{"--overwrite", "ask"}, "n\nn\n", f.store().root());
    QVERIFY2(code == 0, screen.constData());
    QCOMPARE(controlIn(screen), QString());
    QVERIFY2(
        screen.contains(("Do you want to overwrite the file\n" + shown[1] + "? [y/n/c] ").toUtf8()),
        screen.constData());
    QVERIFY(screen.contains((shown[0] + ": skipped, the target exists and was kept\n").toUtf8()));

    // The progress line, drawn on the terminal as stderr, and the messages both front ends show.
    int master = -1, terminal = -1;
    QVERIFY(::openpty(&master, &terminal, nullptr, nullptr, nullptr) == 0);
    const int savedStderr = ::dup(2);
    ::dup2(terminal, 2);
    {
      ProgressLine progress;
      QThread::msleep(450);  // a run shorter than this shows no progress at all
      progress.Show(0, 3, NativeFile::DecodeName(QFile::encodeName(f.source()) + files[0]));
      progress.Clear();
    }
    ::dup2(savedStderr, 2);
    ::close(savedStderr);
    ::close(terminal);
    QByteArray drawn(4096, '\0');
    drawn.resize(std::max<ssize_t>(0, ::read(master, drawn.data(), size_t(drawn.size()))));
    ::close(master);
    QVERIFY2(drawn.contains(("0/3  " + shown[0]).toUtf8()), drawn.constData());
    QCOMPARE(controlIn(drawn), QString());
#endif
    const QString decoded = NativeFile::DecodeName(name);
    for (const Toolkit::Message& m :
         {RunMessages::OverwriteQuestion(decoded), RunMessages::TargetBusy(decoded),
          RunMessages::SourceUnreadable(decoded), RunMessages::BadExtension("Target", decoded)})
      for (const QString& line : m.prompt.split(Toolkit::LineBreak))
        QCOMPARE(controlIn(line.toUtf8()), QString());
#endif
  }

  // A run stopped at the overwrite question says so after its summary, with the files it never
  // read; exit code 4.
  void stoppedRunSaysWhatWasNotRead() {
#if !defined(Q_OS_LINUX) && !defined(Q_OS_DARWIN)
    QSKIP("no pseudo-terminal here");
#else
    RunFixture f;
    for (const char* name : {"a.BIN", "b.BIN", "c.BIN", "d.BIN"})
      f.putSource(name, FourBankImage());
    f.putTarget("b.BIN", "old");
    const auto [code, screen] =
        runOnTerminal({"convert", f.source(), f.target(), "--no-settings", "--overwrite", "ask"},
                      "c\n", f.store().root());
    QCOMPARE(code, 4);
    QVERIFY2(screen.endsWith("\n2 total files were processed. 1 files were converted and  0 were "
                             "skipped.\nThe run was stopped: 2 files were not read.\n"),
             screen.constData());
    QCOMPARE(RunFixture::snapshot(f.target()).keys(), QStringList({"a.BIN", "b.BIN"}));
#endif
  }

  // --help names every preset, and each shell's script offers every option and command it lists.
  void helpAndCompletion() {
    const TemporarySettingsStore store;
    const CliResult help = RunCli({"--help"}, store);
    QCOMPARE(help.code, 0);
    for (const OutputPreset& preset : OutputPresets) QVERIFY(help.out.contains(preset.caption));
    static const QRegularExpression option("^  (?:-\\w, )?--([\\w-]+)",
                                           QRegularExpression::MultilineOption);
    for (const QString shell : {"bash", "zsh", "fish"}) {
      // fish names a long option without its dashes.
      const QString dashes = shell == u"fish" ? "-l " : "--";
      QStringList offered{"convert", "inspect"};
      for (const auto& m : option.globalMatch(help.out)) offered << dashes + m.captured(1);
      QVERIFY(offered.size() > 15);
      const CliResult script = RunCli({"--completion", shell}, store);
      QCOMPARE(script.code, 0);
      for (const QString& name : offered) {
        const QRegularExpression whole(QRegularExpression::escape(name) + "(?![\\w-])");
        QVERIFY2(whole.match(script.out).hasMatch(), qPrintable(shell + u' ' + name));
      }
    }
  }

  // What a system imposes on a run, in scripts run in the fixture's folder with quillet-cli as $0
  // and $u to run it as an ordinary user when root, as root may write anywhere.
  void whatTheSystemImposes_data() {
    addRows(systems);
  }
  void whatTheSystemImposes() {
#ifndef Q_OS_UNIX
    QSKIP("names are UTF-16, open files have no small limit and folders refuse no user here");
#else
    QFETCH(int, row);
    const System& t = systems[row];
#ifndef Q_OS_LINUX
    if (t.linuxOnly) QSKIP("no folder here refuses its own user by its mode");
#endif
    RunFixture f;
    for (int i = 0; i < 150; ++i) f.putSource(QStringLiteral("f%1.BIN").arg(i), FourBankImage());
    const QString asUser =
        "[ $(id -u) != 0 ] || u='setpriv --reuid=65534 --regid=65534 --clear-groups'; ";
    const CliResult r =
        RunCli({"-c", asUser + t.script, QUILLET_CLI}, f.store(), "/bin/sh", f.root());
    QCOMPARE(r.code, t.code);
    QVERIFY2((r.out + r.err).contains(t.said), qPrintable(r.out + r.err));
    // A refused run leaves no trace; the converting script removes what it made.
    const bool traceless =
        QDir(f.target()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    QCOMPARE(traceless && r.out.isEmpty(), t.code == 3);
#endif
  }
};

QTEST_MAIN(TestCli)
#include "test_cli.moc"
