#pragma once
// The program's own options. Unknown options (anything else starting with "-")
// are ignored; --catalogue and --list take the argument after them, whatever
// it looks like; the first other argument names a file to open.

#include <QString>
#include <QStringList>

class CommandLineOptions {
public:
    // arguments: the whole command line, the program first.
    static CommandLineOptions Parse(const QStringList &arguments);

    bool restore = false;
    bool start = false;
    bool hidden = false;
    QString catalogue;
    QString list;
    QString file;
    // "--catalogue" or "--list" given last with no argument after it.
    QString missingValue;
};
