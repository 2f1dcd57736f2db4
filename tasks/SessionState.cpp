#include "tasks/SessionState.h"

bool SessionState::operator==(const SessionState &other) const
{
    if (activeTab != other.activeTab || cleanExit != other.cleanExit || tabs.size() != other.tabs.size())
        return false;
    for (std::size_t i = 0; i < tabs.size(); ++i) {
        const Tab &a = tabs[i];
        const Tab &b = other.tabs[i];
        if (a.url != b.url || a.catalogue != b.catalogue || a.started != b.started || a.divider != b.divider ||
            a.container != b.container || *a.rows != *b.rows)
            return false;
    }
    return true;
}
