// The program's content work from the command line, one process per run, so that it can be
// timed as a whole against other tools:
//   content_tool <command> <arguments...>
// Without a command, or with a wrong one, it lists the commands.
#include "tools/content_tool/Commands.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>

namespace {

using namespace ContentToolCommands;

struct Command
{
    const char* name;
    const char* arguments; // as the usage shows them, one <...> per argument, [<...>] if optional
    int (*run)(const QStringList& arguments);
};

// One line per command.
const Command kCommands[] = {
    {"package-import", "<file.qelpkg> <library folder>", PackageImport},
    {"package-export", "<library folder> <package name> <out.qelpkg>", PackageExport},
    {"make-sample-package", "<library folder>", MakeSamplePackage},
    {"video-import", "<clip> [<out-image-file>]", VideoImport},
};

// How often `mark` occurs in the command's arguments.
int Count(const Command& command, char mark)
{
    int count = 0;
    for (const char* c = command.arguments; *c; ++c)
        count += *c == mark;
    return count;
}

bool TakesArgumentCount(const Command& command, int count)
{
    const int optional = Count(command, '[');
    const int all = Count(command, '<');
    return count >= all - optional && count <= all;
}

int Usage(const char* program)
{
    std::fprintf(stderr, "usage:\n");
    for (const Command& command : kCommands)
        std::fprintf(stderr, "  %s %s %s\n", program, command.name, command.arguments);
    return kUsage;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return Usage(argv[0]);
    for (const Command& command : kCommands) {
        if (std::strcmp(argv[1], command.name) != 0)
            continue;
        if (!TakesArgumentCount(command, argc - 2)) {
            std::fprintf(stderr, "usage: %s %s %s\n", argv[0], command.name, command.arguments);
            return kUsage;
        }
        QStringList arguments;
        for (int i = 2; i < argc; ++i)
            arguments.append(QString::fromLocal8Bit(argv[i]));
        return command.run(arguments);
    }
    std::fprintf(stderr, "%s: no command \"%s\"\n", argv[0], argv[1]);
    return Usage(argv[0]);
}
