// Runs an exit action when the enclosing scope ends, by return or by exception.
#pragma once

#include <functional>
#include <utility>

class ScopeGuard {
public:
    std::function<void()> onExit;

    explicit ScopeGuard(std::function<void()> exitAction) : onExit(std::move(exitAction)) {}

    // The exit action is stored first; when the enter action throws, the guard never comes
    // into being and the exit action is destroyed without running.
    ScopeGuard(const std::function<void()>& enterAction, std::function<void()> exitAction)
        : onExit(std::move(exitAction)) {
        enterAction();
    }

    ScopeGuard(const ScopeGuard&) = delete;
    ScopeGuard& operator=(const ScopeGuard&) = delete;
    ScopeGuard(ScopeGuard&&) = delete;
    ScopeGuard& operator=(ScopeGuard&&) = delete;

    // noexcept: an exit action that throws terminates the program.
    ~ScopeGuard() noexcept {
        if (onExit) {
            onExit();
        }
    }
};
