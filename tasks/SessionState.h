#pragma once
// What the program keeps of its tabs between runs: per tab the page, the
// catalogue, the task rows with all their cells, whether its tasks were started
// where its divider stands and its container; the tabs in their order.

#include "platform/Win32Types.h"

#include <array>
#include <memory>
#include <vector>

struct SessionState {
    static constexpr int kCells = 11;
    using Row = std::array<wstring16, kCells>;

    struct Tab {
        wstring16 url;
        // Empty: the catalogue beside the program.
        wstring16 catalogue;
        bool started = false;
        int divider = 0;
        // The tab's named container (its folder); empty: the default one.
        wstring16 container;
        // Shared so that a save can hand a tab's rows to the writer without copying them.
        std::shared_ptr<const std::vector<Row>> rows = std::make_shared<const std::vector<Row>>();
    };

    std::vector<Tab> tabs;
    int activeTab = 0;
    // Written at the end of a normal exit; a state without it was left by a crash.
    bool cleanExit = false;

    bool operator==(const SessionState &other) const;
};
