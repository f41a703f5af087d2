#include "cli/Completion.h"

#include "cli/Options.h"

namespace {

// An option as the completions offer it: every name with its dashes, what
// it is for, and whether it takes a value.
struct Offered {
  QStringList names;
  QString text;
  QString valueName;  // empty for an option that takes no value
  QStringList words;
};

QList<Offered> offered(const Options& options) {
  QList<Offered> list;
  for (const QCommandLineOption* option : options.table()) {
    if (option->flags() & QCommandLineOption::HiddenFromHelp) continue;
    QStringList names;
    for (const QString& name : option->names()) {
      names.append((name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name);
    }
    list.append({names, option->description(), option->valueName(), options.valueWords(*option)});
  }
  return list;
}

// Text between single quotes, in the shells where '\'' puts a quote in.
QString quoted(const QString& text) {
  return u'\'' + QString(text).replace(u'\'', QStringLiteral("'\\''")) + u'\'';
}

QString bash(const Options& options) {
  QStringList all, commands;
  QString cases;
  for (const Offered& o : offered(options)) {
    all += o.names;
    if (o.valueName.isEmpty()) continue;
    cases += QStringLiteral("    %1) COMPREPLY=($(compgen -W %2 -- \"$cur\")); return ;;\n")
                 .arg(o.names.join(u'|'), quoted(o.words.join(u' ')));
  }
  for (const CommandEntry& c : CommandTable) commands.append(QString::fromLatin1(c.name));
  return QStringLiteral(
             "# bash completion for quillet-cli\n"
             "_quillet_cli() {\n"
             "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} word\n"
             "  case $prev in\n"
             "%1"
             "  esac\n"
             "  if [[ $cur == -* ]]; then\n"
             "    COMPREPLY=($(compgen -W %2 -- \"$cur\"))\n"
             "    return\n"
             "  fi\n"
             "  for word in \"${COMP_WORDS[@]:1:COMP_CWORD-1}\"; do\n"
             "    case $word in %3)\n"
             "      compopt -o default\n"
             "      COMPREPLY=()\n"
             "      return ;;\n"
             "    esac\n"
             "  done\n"
             "  COMPREPLY=($(compgen -W %4 -- \"$cur\"))\n"
             "}\n"
             "complete -F _quillet_cli quillet-cli\n")
      .arg(cases, quoted(all.join(u' ')), commands.join(u'|'), quoted(commands.join(u' ')));
}

QString zsh(const Options& options) {
  QString arguments;
  for (const Offered& o : offered(options)) {
    QString text = o.text;
    text.replace(u'[', QStringLiteral("\\[")).replace(u']', QStringLiteral("\\]"));
    for (const QString& name : o.names) {
      // --name=[text]:VALUE:(words) takes the value after = or as the next word.
      const bool takesValue = !o.valueName.isEmpty();
      QString argument =
          name + (takesValue ? QStringLiteral("=[") : QStringLiteral("[")) + text + u']';
      if (takesValue) argument += QStringLiteral(":%1:(%2)").arg(o.valueName, o.words.join(u' '));
      arguments += QStringLiteral("  %1 \\\n").arg(quoted(argument));
    }
  }
  QString commands;
  for (const CommandEntry& c : CommandTable) {
    commands += QStringLiteral(" %1\\:%2")
                    .arg(QString::fromLatin1(c.name),
                         QString::fromLatin1(c.summary).replace(u' ', QStringLiteral("\\ ")));
  }
  return QStringLiteral(
             "#compdef quillet-cli\n"
             "# zsh completion for quillet-cli\n"
             "_arguments -s \\\n"
             "%1"
             "  %2 \\\n"
             "  '*:file:_files'\n")
      .arg(arguments, quoted(QStringLiteral("1:command:((%1))").arg(commands.trimmed())));
}

QString fish(const Options& options) {
  // fish reads \ and ' as escapes inside single quotes.
  const auto fishQuoted = [](const QString& text) {
    return u'\'' +
           QString(text)
               .replace(u'\\', QStringLiteral("\\\\"))
               .replace(u'\'', QStringLiteral("\\'")) +
           u'\'';
  };
  QString script = QStringLiteral("# fish completion for quillet-cli\n");
  for (const CommandEntry& c : CommandTable) {
    script += QStringLiteral("complete -c quillet-cli -n __fish_use_subcommand -f -a %1 -d %2\n")
                  .arg(QString::fromLatin1(c.name), fishQuoted(QString::fromLatin1(c.summary)));
  }
  for (const Offered& o : offered(options)) {
    QString line = QStringLiteral("complete -c quillet-cli");
    for (const QString& name : o.names) {
      line += (name.startsWith(QStringLiteral("--")) ? QStringLiteral(" -l ")
                                                     : QStringLiteral(" -s ")) +
              name.mid(name.startsWith(QStringLiteral("--")) ? 2 : 1);
    }
    if (!o.valueName.isEmpty()) line += QStringLiteral(" -x -a ") + fishQuoted(o.words.join(u' '));
    script += line + QStringLiteral(" -d ") + fishQuoted(o.text) + u'\n';
  }
  return script;
}

}  // namespace

QString CompletionScript(const Options& options, const QString& shell) {
  if (shell == u"bash") return bash(options);
  if (shell == u"zsh") return zsh(options);
  if (shell == u"fish") return fish(options);
  return {};
}
