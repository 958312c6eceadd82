#include "timer_rules.h"

namespace morvane {

void TimerRules::setPeriod(std::int32_t milliseconds) {
    const std::int32_t value = milliseconds < 0 ? 0 : milliseconds;
    // The same value again must not restart a running interval.
    if (value == periodMs_) return;
    periodMs_ = value;
    if (ticking_) system_.kill();
    ticking_ = value > 0;
    if (ticking_) system_.set(value);
}

Text TimerRules::tag() const {
    if (tagText_.length() == 0) return Text();
    return Text::copyOf(tagText_.get());
}

void TimerRules::setTag(const char* text) {
    tagText_ = (text == nullptr || *text == '\0') ? Text() : Text::copyOf(text);
}

void TimerRules::windowCreated() {
    if (periodMs_ > 0 && !ticking_) {
        system_.set(periodMs_);
        ticking_ = true;
    }
}

void TimerRules::windowDestroyed() {
    if (ticking_) {
        system_.kill();
        ticking_ = false;
    }
}

}  // namespace morvane
