#include "event_delivery.h"

#include <gtest/gtest.h>

#include "fake_window.h"

namespace morvane::testing {
namespace {

struct Delivery : ::testing::Test {
    FakeWindow w;
    EventDelivery events{w.controls};
};

TEST_F(Delivery, EachBoundEventRunsItsHandler) {
    events.raiseEvent(EventSource::mainWindow, EventKind::created);
    EXPECT_EQ(w.list.items.size(), 17u);

    events.raiseEvent(EventSource::confirmButton, EventKind::clicked);
    EXPECT_EQ(w.timer.period(), 1000);
    events.raiseEvent(EventSource::timer, EventKind::tick);
    EXPECT_EQ(w.tag(), "9000");
    events.raiseEvent(EventSource::cancelButton, EventKind::clicked);
    EXPECT_EQ(w.timer.period(), 0);
    EXPECT_EQ(w.status.captions.size(), 4u);
}

TEST_F(Delivery, UnboundEventsVanish) {
    events.raiseEvent(EventSource::mainWindow, EventKind::created);
    const auto captions = w.status.captions;
    const struct {
        EventSource source;
        EventKind kind;
    } unbound[] = {
        {EventSource::confirmButton, EventKind::focusGained}, {EventSource::cancelButton, EventKind::focusLost},
        {EventSource::delayList, EventKind::listNotification}, {EventSource::delayList, EventKind::clicked},
        {EventSource::statusLabel, EventKind::clicked},        {EventSource::confirmButton, EventKind::tick},
        {EventSource::timer, EventKind::clicked},              {EventSource::creditLabel, EventKind::created},
    };
    for (const auto& e : unbound) events.raiseEvent(e.source, e.kind);
    EXPECT_EQ(w.status.captions, captions);
    EXPECT_EQ(w.list.items.size(), 17u);
    EXPECT_EQ(w.timer.period(), 0);
}

TEST_F(Delivery, BlockedEventsAreDroppedNotDeferred) {
    events.blockEvents();
    events.blockEvents();
    events.raiseEvent(EventSource::mainWindow, EventKind::created);
    events.unblockEvents();
    EXPECT_EQ(events.eventBlockCount(), 1);
    events.raiseEvent(EventSource::cancelButton, EventKind::clicked);
    events.unblockEvents();
    EXPECT_EQ(events.eventBlockCount(), 0);
    EXPECT_TRUE(w.list.items.empty());
    EXPECT_TRUE(w.status.captions.empty());

    events.unblockEvents();  // never below 0
    EXPECT_EQ(events.eventBlockCount(), 0);
    events.blockEvents();
    events.raiseEvent(EventSource::cancelButton, EventKind::clicked);
    EXPECT_TRUE(w.status.captions.empty()) << "one block after an extra unblock still blocks";
}

// The notice's modal loop delivers a tick before handleConfirm returns.
TEST_F(Delivery, TickRaisedDuringANoticeRunsNested) {
    events.raiseEvent(EventSource::mainWindow, EventKind::created);
    events.raiseEvent(EventSource::confirmButton, EventKind::clicked);
    bool nested = false;
    w.desktop.whileNoticeOpen = [&] {
        events.raiseEvent(EventSource::timer, EventKind::tick);
        nested = w.tag() == "9000";
    };
    events.raiseEvent(EventSource::confirmButton, EventKind::clicked);
    EXPECT_TRUE(nested);
    EXPECT_EQ(w.desktop.notices.size(), 1u);
}

}  // namespace
}  // namespace morvane::testing
