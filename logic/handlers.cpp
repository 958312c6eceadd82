#include "handlers.h"

#include "conversions.h"
#include "delay_table.h"
#include "status_texts.h"

namespace morvane {
namespace {

void showSeconds(StatusLabel& status, const char* prefix, std::int32_t milliseconds) {
    const Text seconds = realToText(milliseconds / 1000.0);
    const Text line = joinTexts({prefix, seconds.get(), texts::secondsSuffix});
    status.setCaption(line.get());
}

}  // namespace

void handleCreated(const CountdownWindow& window) {
    for (const DelayChoice& row : delayTable) window.list.addItem(row.text, row.milliseconds);
    window.list.setSelectedIndex(preselectedDelay);
    window.status.setCaption(texts::idle);
    window.timer.setPeriod(0);
}

void handleConfirm(const CountdownWindow& window) {
    const int index = window.list.selectedIndex();
    // The missing choice is reported first, even while a countdown runs.
    if (index == -1) {
        window.desktop.showNotice(texts::nothingSelected, texts::noticeTitle);
        return;
    }
    if (window.timer.period() != 0) {
        window.desktop.showNotice(texts::alreadyRunning, texts::noticeTitle);
        return;
    }
    const std::int32_t milliseconds = window.list.itemValue(index);
    window.timer.setTag(intToText(milliseconds).get());
    window.timer.setPeriod(tickMilliseconds);
    showSeconds(window.status, texts::startPrefix, milliseconds);
}

void handleCancel(const CountdownWindow& window) {
    window.timer.setPeriod(0);
    window.status.setCaption(texts::cancelled);
}

void handleTick(const CountdownWindow& window) {
    std::int32_t left = 0;
    {
        const Text stored = window.timer.tag();
        left = textToInt(stored.isMissing() ? "" : stored.get());
    }
    left = realToInt(left - 1000.0);
    // Stored before anything else happens, also on the final tick.
    window.timer.setTag(intToText(left).get());
    if (left > 0) {
        showSeconds(window.status, texts::runningPrefix, left);
        return;
    }
    const std::int32_t x = window.desktop.cursorX();
    const std::int32_t y = window.desktop.cursorY();
    window.desktop.clickAt(x, y, 0);
    window.timer.setPeriod(0);
    window.status.setCaption(texts::idle);
}

}  // namespace morvane
