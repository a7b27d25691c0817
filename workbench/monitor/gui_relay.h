// Hands completion callbacks of the channel's sending thread to a GUI-thread object that may be
// destroyed at any moment: the object detaches itself in its destructor, and a callback that
// arrives afterwards is dropped instead of touching freed memory.
#pragma once

#include <QMetaObject>
#include <QObject>

#include <functional>
#include <memory>
#include <mutex>

namespace korvan::monitor {

class GuiRelay {
public:
    explicit GuiRelay(QObject* target) : m_state(std::make_shared<State>()) { m_state->target = target; }
    ~GuiRelay() { detach(); }
    GuiRelay(const GuiRelay&) = delete;
    GuiRelay& operator=(const GuiRelay&) = delete;

    // Call from the target's destructor (or earlier): no queued call reaches it afterwards.
    void detach() {
        std::lock_guard lock(m_state->mutex);
        m_state->target = nullptr;
    }

    // A callable for any thread that queues fn to the target's thread while the target lives.
    std::function<void()> wrap(std::function<void()> fn) const {
        return [state = m_state, fn = std::move(fn)] {
            std::lock_guard lock(state->mutex);
            if (state->target) QMetaObject::invokeMethod(state->target, fn, Qt::QueuedConnection);
        };
    }

    // The same for a callable that takes a result, which travels with the queued call.
    template <class Arg> std::function<void(Arg)> wrapResult(std::function<void(Arg)> fn) const {
        return [state = m_state, fn = std::move(fn)](Arg arg) {
            std::lock_guard lock(state->mutex);
            if (state->target)
                QMetaObject::invokeMethod(
                    state->target, [fn, arg] { fn(arg); }, Qt::QueuedConnection);
        };
    }

private:
    struct State {
        std::mutex mutex;
        QObject* target = nullptr;
    };
    std::shared_ptr<State> m_state;
};

}  // namespace korvan::monitor
