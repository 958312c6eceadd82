// What the countdown handlers may do to the window and the desktop: nothing
// beyond these operations. The shell implements them on native controls; the
// tests on in-memory ones that keep the same rules.
#pragma once

#include <cstdint>

#include "text.h"

namespace morvane {

// The delay list. Indices count from 0; -1 means none or out of range.
class DelayList {
public:
    // Appends an entry; returns its index, or -1 when the control refuses it.
    virtual int addItem(const char* text, std::int32_t value) = 0;
    // The entry's value; -1 for an index outside the list.
    [[nodiscard]] virtual std::int32_t itemValue(int index) const = 0;
    // -1 when no entry is selected.
    [[nodiscard]] virtual int selectedIndex() const = 0;
    // Selects the entry, the index clamped to [-1, count - 1].
    virtual void setSelectedIndex(int index) = 0;

protected:
    ~DelayList() = default;
};

class StatusLabel {
public:
    // Replaces the shown text; nullptr shows the empty text.
    virtual void setCaption(const char* text) = 0;

protected:
    ~StatusLabel() = default;
};

// The countdown runs exactly while period() is not 0; the time left lives in
// the tag as decimal milliseconds.
class CountdownTimer {
public:
    // Milliseconds; 0 while stopped.
    [[nodiscard]] virtual std::int32_t period() const = 0;
    // Negative counts as 0; setting the current value changes nothing.
    virtual void setPeriod(std::int32_t milliseconds) = 0;
    // A fresh copy of the tag; the missing text while the tag is empty.
    [[nodiscard]] virtual Text tag() const = 0;
    // Stores a copy; nullptr stores the empty text.
    virtual void setTag(const char* text) = 0;

protected:
    ~CountdownTimer() = default;
};

class Desktop {
public:
    // A modal box with an OK button; returns once the user has closed it.
    virtual void showNotice(const char* text, const char* title) = 0;
    [[nodiscard]] virtual std::int32_t cursorX() = 0;
    [[nodiscard]] virtual std::int32_t cursorY() = 0;
    // kind 0 (and any unknown kind): one left click; 1: left double click;
    // 2: right click; 3: right double click.
    virtual void clickAt(std::int32_t x, std::int32_t y, std::int32_t kind) = 0;

protected:
    ~Desktop() = default;
};

// Everything a handler can reach.
struct CountdownWindow {
    DelayList& list;
    StatusLabel& status;
    CountdownTimer& timer;
    Desktop& desktop;
};

}  // namespace morvane
