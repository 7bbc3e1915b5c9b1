#include "tests/images/FFmpegTool.h"

#include <QProcess>

namespace {

// Generous: a loaded machine may be slow to start the tool; the clips take milliseconds.
constexpr int kToolTimeoutMs = 60000;

} // namespace

bool RunFFmpeg(const QStringList& arguments, QString* error)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("ffmpeg"), QStringList{"-nostdin", "-v", "error", "-y"} + arguments);
    const bool finished = process.waitForStarted(kToolTimeoutMs) && process.waitForFinished(kToolTimeoutMs);
    const bool ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!ok && error)
        *error = process.errorString() + QLatin1Char('\n') + QString::fromLocal8Bit(process.readAll());
    return ok;
}

bool MakeTestClip(const QString& path, int width, int height, int rate, double seconds, QString* error)
{
    const QString source =
        QStringLiteral("testsrc=size=%1x%2:rate=%3:duration=%4").arg(width).arg(height).arg(rate).arg(seconds);
    return RunFFmpeg({"-f", "lavfi", "-i", source, "-c:v", "mpeg4", "-bf", "0", "-pix_fmt", "yuv420p", path},
                     error);
}
