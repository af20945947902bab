#include <gtest/gtest.h>

#include "ui/UiTestSupport.h"
#include "ui/widgets/LatestRequestRunner.h"

namespace dunmoor::ui
{
namespace
{
    using namespace dunmoor::testing;

    /** Jobs that wait for the test (or for their cancel check, when they honour it) and record
        what ran, what stopped and what arrived on the message thread. */
    struct Log
    {
        juce::WaitableEvent release { true };
        std::mutex mutex;
        juce::StringArray ran, stopped;
        juce::StringArray arrived; // message thread

        LatestRequestRunner::Job job (const juce::String& name, bool waits = false, bool honoursCancel = true)
        {
            return [this, name, waits, honoursCancel] (const CancelCheck& cancelled) -> LatestRequestRunner::Delivery
            {
                note (ran, name);

                while (waits && ! release.wait (1))
                {
                    if (honoursCancel && cancelled())
                    {
                        note (stopped, name);
                        return {};
                    }
                }

                return [this, name] { arrived.add (name); };
            };
        }

        void note (juce::StringArray& list, const juce::String& name)
        {
            const std::lock_guard<std::mutex> lock (mutex);
            list.add (name);
        }

        juce::StringArray get (const juce::StringArray& list)
        {
            const std::lock_guard<std::mutex> lock (mutex);
            return list;
        }
    };
} // namespace

TEST (LatestRequestRunner, JobsOfTheLatestRequestAllArriveAndANewRequestDropsTheRest)
{
    Log log;
    LatestRequestRunner runner ("test runner");
    EXPECT_EQ (runner.getLatestRequest(), 0);
    EXPECT_TRUE (runner.isIdle());

    // Several jobs of one request run in the order they were queued and all arrive.
    EXPECT_EQ (runner.newRequest(), 1);
    runner.add (log.job ("a"));
    runner.add (log.job ("b"));
    ASSERT_TRUE (pumpUntil ([&] { return runner.isIdle(); }));
    EXPECT_EQ (log.arrived, juce::StringArray ({ "a", "b" }));

    // A new request stops the running job without waiting for it, and a job still queued under
    // the old request never runs.
    runner.start (log.job ("slow", true));
    runner.add (log.job ("queued"));
    ASSERT_TRUE (pumpUntil ([&] { return log.get (log.ran).contains ("slow"); }));
    EXPECT_EQ (runner.start (log.job ("new")), 3);
    ASSERT_TRUE (pumpUntil ([&] { return runner.isIdle(); }));

    EXPECT_EQ (log.get (log.stopped), juce::StringArray ("slow"));
    EXPECT_FALSE (log.get (log.ran).contains ("queued"));
    EXPECT_EQ (log.arrived, juce::StringArray ({ "a", "b", "new" }));
}

// A job that ignores its cancel check and finishes anyway must not overwrite a newer result.
TEST (LatestRequestRunner, AResultFinishedAfterANewerRequestIsDropped)
{
    Log log;
    LatestRequestRunner runner ("test runner");

    runner.start (log.job ("stubborn", true, false));
    ASSERT_TRUE (pumpUntil ([&] { return log.get (log.ran).contains ("stubborn"); }));
    runner.cancel();
    EXPECT_FALSE (runner.isIdle());

    log.release.signal();
    ASSERT_TRUE (pumpUntil ([&] { return runner.isIdle(); }));
    pumpMessages (50);
    EXPECT_TRUE (log.arrived.isEmpty());
}

TEST (LatestRequestRunner, GoingMidJobWaitsForTheJobAndDeliversNothing)
{
    Log log;

    {
        LatestRequestRunner runner ("test runner");
        runner.start (log.job ("running", true));
        ASSERT_TRUE (pumpUntil ([&] { return log.get (log.ran).contains ("running"); }));
    }

    // The job had stopped before the runner was gone.
    EXPECT_EQ (log.get (log.stopped), juce::StringArray ("running"));
    pumpMessages (50);
    EXPECT_TRUE (log.arrived.isEmpty());
}

} // namespace dunmoor::ui
