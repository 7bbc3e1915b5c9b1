#include "link/feedback/FeedbackProxy.h"

#include <QSignalSpy>
#include <QThread>
#include <gtest/gtest.h>

TEST(FeedbackProxy, CallsBecomeSignalsWithTheirArguments)
{
    RegisterFeedbackMetaTypes();
    FeedbackProxy proxy;
    QSignalSpy text(&proxy, &FeedbackProxy::IFeedback_AddString);
    QSignalSpy total(&proxy, &FeedbackProxy::IFeedback_SetTotal);
    QSignalSpy current(&proxy, &FeedbackProxy::IFeedback_SetCurrent);
    QSignalSpy finished(&proxy, &FeedbackProxy::IFeedback_Finished);

    IFeedback& feedback = proxy;
    feedback.AddString("line", FeedbackWarning);
    feedback.SetTotal(7);
    feedback.SetCurrent(3);
    feedback.Finished(FeedbackCancelled);
    proxy.AddString(QStringLiteral("plain"));
    proxy.Finished();

    ASSERT_EQ(text.size(), 2);
    EXPECT_EQ(text[0][0].toString(), "line");
    EXPECT_EQ(text[0][1].value<FeedbackStatus>(), FeedbackWarning);
    EXPECT_EQ(text[1][1].value<FeedbackStatus>(), FeedbackNormal);
    EXPECT_EQ(total[0][0].toInt(), 7);
    EXPECT_EQ(current[0][0].toInt(), 3);
    ASSERT_EQ(finished.size(), 2);
    EXPECT_EQ(finished[0][0].value<FeedbackResult>(), FeedbackCancelled);
    EXPECT_EQ(finished[1][0].value<FeedbackResult>(), FeedbackSuccess);
}

TEST(FeedbackProxy, CancelIsSeenFromAnotherThread)
{
    FeedbackProxy proxy;
    EXPECT_FALSE(proxy.IsCancelled());
    std::unique_ptr<QThread> canceller(QThread::create([&] { proxy.Cancel(); }));
    canceller->start();
    canceller->wait();
    EXPECT_TRUE(proxy.IsCancelled());
}

TEST(FeedbackProxy, QueuedSignalsCarryTheMetaTypesAcrossThreads)
{
    RegisterFeedbackMetaTypes();
    FeedbackProxy proxy;
    FeedbackStatus received = FeedbackNormal;
    QObject receiver;
    QObject::connect(&proxy, &FeedbackProxy::IFeedback_AddString, &receiver,
                     [&](QString, FeedbackStatus status) { received = status; }, Qt::QueuedConnection);
    std::unique_ptr<QThread> worker(QThread::create([&] { proxy.AddString("x", FeedbackError); }));
    worker->start();
    worker->wait();
    QCoreApplication::processEvents();
    EXPECT_EQ(received, FeedbackError);
}
