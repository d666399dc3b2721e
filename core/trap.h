#pragma once

#include "core/failure.h"

#include <functional>
#include <new>
#include <utility>

namespace kestrel::core {

// The error trap of a handler. A handler runs its statements as steps through one Trap; a step that
// throws a Failure is reported (the handler's error line) and, by default, the next step still runs,
// so one failure costs one step and not the rest of the handler. A trap that stops after the first
// failure skips every later step instead.
class Trap
{
public:
    enum class After { NextStep, Stop };
    using Report = std::function<void(const Failure &)>;

    explicit Trap(Report report = {}, After after = After::NextStep)
        : m_report(std::move(report)), m_after(after) {}

    // Runs one step. Returns true when it ran to its end; false when it failed or was skipped
    // because an earlier failure stopped the handler.
    template <class Step>
    bool operator()(Step &&step)
    {
        if (m_stopped)
            return false;
        try {
            std::forward<Step>(step)();
            return true;
        } catch (const Failure &failure) {
            fail(failure);
        } catch (const std::bad_alloc &) {
            fail(failures::outOfMemory());
        }
        return false;
    }

    bool stopped() const { return m_stopped; }
    int failureCount() const { return m_failures; }

private:
    void fail(const Failure &failure)
    {
        ++m_failures;
        if (m_after == After::Stop)
            m_stopped = true;
        if (!m_report)
            return;
        // Writing the error line is outside the trap; when even that fails there is nowhere left to
        // report to, so the handler goes on quietly.
        try {
            m_report(failure);
        } catch (const Failure &) {
        } catch (const std::bad_alloc &) {
        }
    }

    Report m_report;
    After m_after;
    bool m_stopped = false;
    int m_failures = 0;
};

} // namespace kestrel::core
