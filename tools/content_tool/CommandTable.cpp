#include "tools/content_tool/CommandTable.h"

#include "tools/content_tool/Commands.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>

namespace {

// How often `mark` occurs in the command's arguments.
int Count(const ToolCommand& command, char mark)
{
    int count = 0;
    for (const char* c = command.arguments; *c; ++c)
        count += *c == mark;
    return count;
}

bool TakesArgumentCount(const ToolCommand& command, int count)
{
    const int optional = Count(command, '[');
    const int all = Count(command, '<');
    return count >= all - optional && count <= all;
}

int Usage(const char* program, std::span<const ToolCommand> commands)
{
    std::fprintf(stderr, "usage:\n");
    for (const ToolCommand& command : commands)
        std::fprintf(stderr, "  %s %s %s\n", program, command.name, command.arguments);
    return ContentToolCommands::kUsage;
}

} // namespace

int RunToolCommand(int argc, char** argv, std::span<const ToolCommand> commands)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return Usage(argv[0], commands);
    for (const ToolCommand& command : commands) {
        if (std::strcmp(argv[1], command.name) != 0)
            continue;
        if (!TakesArgumentCount(command, argc - 2)) {
            std::fprintf(stderr, "usage: %s %s %s\n", argv[0], command.name, command.arguments);
            return ContentToolCommands::kUsage;
        }
        QStringList arguments;
        for (int i = 2; i < argc; ++i)
            arguments.append(QString::fromLocal8Bit(argv[i]));
        return command.run(arguments);
    }
    std::fprintf(stderr, "%s: no command \"%s\"\n", argv[0], argv[1]);
    return Usage(argv[0], commands);
}
