// The program's video import from the command line, one process per run, so that it can
// be timed as a whole against ffmpeg:
//   video_tool video-import <clip> [<out-image-file>]
// A tool of its own beside content_tool: only it loads the video libraries.
#include "tools/content_tool/CommandTable.h"
#include "tools/content_tool/Commands.h"

namespace {

const ToolCommand kCommands[] = {
    {"video-import", "<clip> [<out-image-file>]", ContentToolCommands::VideoImport},
};

} // namespace

int main(int argc, char** argv)
{
    return RunToolCommand(argc, argv, kCommands);
}
