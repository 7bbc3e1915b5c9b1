#pragma once

#include <QStringList>

#include <span>

// A command-line tool's commands, one line of a table each:
//   tool <command> <arguments...>
// Without a command, or with a wrong one, the tool lists its commands.
struct ToolCommand
{
    const char* name;
    const char* arguments; // as the usage shows them, one <...> per argument, [<...>] if optional
    int (*run)(const QStringList& arguments);
};

// Runs the command `argv` names with the arguments after its name, once their count fits
// its line; answers the process's exit status (ContentToolCommands::kUsage when the command
// line fits no command). Makes the process's QCoreApplication.
int RunToolCommand(int argc, char** argv, std::span<const ToolCommand> commands);
