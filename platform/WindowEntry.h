#pragma once
// One window of the registry. Shared, so that a handler still running, a queued
// message or a waiting sender never outlives what it points at.

#include "platform/Window.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

class MessageQueue;

struct WindowEntry {
    HWND handle = nullptr;
    wstring16 className;
    HWND parent = nullptr;
    std::shared_ptr<MessageQueue> owner;

    // Guarded by the registry's lock.
    wstring16 windowName;
    std::vector<HWND> children;

    // Set under the owner queue's lock, so that no send slips in after the
    // release of the pending ones.
    std::atomic<bool> destroying {false};
    std::atomic<bool> visible {false};

    std::mutex mutex; // guards handler and surface
    std::shared_ptr<const WindowHandler> handler;
    std::shared_ptr<WindowSurface> surface;

    std::shared_ptr<const WindowHandler> Handler()
    {
        std::lock_guard lock(mutex);
        return handler;
    }
    std::shared_ptr<WindowSurface> Surface()
    {
        std::lock_guard lock(mutex);
        return surface;
    }
};
