#include "app/CommandLineOptions.h"

CommandLineOptions CommandLineOptions::Parse(const QStringList &arguments)
{
    CommandLineOptions options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--restore")) {
            options.restore = true;
        } else if (argument == QLatin1String("--start")) {
            options.start = true;
        } else if (argument == QLatin1String("--hidden")) {
            options.hidden = true;
        } else if (argument == QLatin1String("--catalogue") || argument == QLatin1String("--list")) {
            QString &value = argument == QLatin1String("--list") ? options.list : options.catalogue;
            if (i + 1 < arguments.size())
                value = arguments.at(++i);
            else
                options.missingValue = argument;
        } else if (argument.startsWith(QLatin1Char('-'))) {
            continue;
        } else if (options.file.isEmpty()) {
            options.file = argument;
        }
    }
    return options;
}
