#include "tests/link/TestLine.h"

#include "link/rdm/RDMProtocol.h"
#include "sim/line/LineFixture.h"

#include <QStringList>

#include <algorithm>
#include <cstring>

void TestLine::Attach(sim::LineFixture* fixture)
{
    fixtures_.append(fixture);
}

void TestLine::Detach(sim::LineFixture* fixture)
{
    fixtures_.removeAll(fixture);
}

int TestLine::Count(quint8 commandClass, quint16 pid) const
{
    return int(std::count_if(requests.begin(), requests.end(), [&](const QByteArray& request) {
        return request.size() > 23 && quint8(request[20]) == commandClass
            && RDMProtocol::ReadUInt16(reinterpret_cast<const quint8*>(request.constData()) + 21) == pid;
    }));
}

QStringList TestLine::Summary() const
{
    QStringList summary;
    for (const QByteArray& request : requests) {
        if (request.size() <= 23)
            continue;
        const quint16 pid = RDMProtocol::ReadUInt16(reinterpret_cast<const quint8*>(request.constData()) + 21);
        summary.append(QStringLiteral("%1:%2").arg(quint8(request[20]), 2, 16, QLatin1Char('0')).arg(pid, 4, 16, QLatin1Char('0')));
    }
    return summary;
}

QByteArray TestLine::Put(const quint8* data, int length, bool* answered)
{
    const QByteArray packet(reinterpret_cast<const char*>(data), length);
    requests.append(packet);
    QByteArray line;
    int answers = 0;
    for (sim::LineFixture* fixture : fixtures_) {
        const QByteArray answer = fixture->OnRequest(packet);
        if (answer.isEmpty())
            continue;
        ++answers;
        if (line.size() < answer.size())
            line.resize(answer.size(), '\0');
        for (qsizetype i = 0; i < answer.size(); ++i)
            line[i] = char(line[i] | answer[i]);
    }
    if (answersLeft_ == 0) {
        *answered = false;
        return QByteArray();
    }
    if (answersLeft_ > 0)
        --answersLeft_;
    *answered = answers > 0;
    return line;
}

bool TestLine::SendRdmPacket(const quint8* data, int length, int)
{
    bool answered = false;
    Put(data, length, &answered);
    pending_.clear();
    pendingAnswered_ = false;
    return true;
}

bool TestLine::SendRdmReadPacket(const quint8* data, int length, quint16, int)
{
    pending_ = Put(data, length, &pendingAnswered_);
    return true;
}

int TestLine::ReceiveRdmPacket(quint8* buffer, int capacity, quint8* complete, int)
{
    const int count = std::min<int>(std::max(capacity, 0), int(pending_.size()));
    if (count > 0)
        std::memcpy(buffer, pending_.constData(), size_t(count));
    if (complete)
        *complete = pendingAnswered_ ? 1 : 0;
    pending_.clear();
    pendingAnswered_ = false;
    return count;
}
