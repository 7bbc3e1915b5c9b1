// The program's package work from the command line, one process per run, so that it can be
// timed as a whole against other tools:
//   content_tool <command> <arguments...>
// Without a command, or with a wrong one, it lists the commands. The video import is
// video_tool's, so that these commands do not load the video libraries.
#include "tools/content_tool/CommandTable.h"
#include "tools/content_tool/Commands.h"

namespace {

using namespace ContentToolCommands;

// One line per command.
const ToolCommand kCommands[] = {
    {"package-import", "<file.qelpkg> <library folder>", PackageImport},
    {"package-export", "<library folder> <package name> <out.qelpkg>", PackageExport},
    {"make-sample-package", "<library folder>", MakeSamplePackage},
};

} // namespace

int main(int argc, char** argv)
{
    return RunToolCommand(argc, argv, kCommands);
}
