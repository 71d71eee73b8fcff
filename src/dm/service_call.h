// The one way every device operation runs its command: build it, submit it, wait with the
// operation's time-out (cancelling on time-out), hand the caller the service status, then read
// the reply fields while the command is still held, and release it.
#pragma once

#include <memory>
#include <string>

#include "dm/command.h"
#include "dm/engine.h"
#include "dm/text_fields.h"

// Submits the holder's command (a refused command is cancelled: its wait ends at once) and waits
// with the operation's time-out, cancelling when it runs out and adding the engine's extra time
// when asked; returns the service status.
int RunDMCommand(DMDispatcher& dispatcher, DMCmdHolder* holder, DWORD timeoutMs,
                 bool addExtra = true);

// A caller's stay inside a service operation that takes the service's locks or touches its state
// after a wait: the service's destruction waits until it has left. Declared before any lock
// guard of the operation, so that it is left last.
class DMServiceCall {
public:
    explicit DMServiceCall(DMDispatcher& dispatcher) : m_dispatcher(dispatcher) {
        m_dispatcher.EnterCall();
    }
    ~DMServiceCall() { m_dispatcher.LeaveCall(); }
    DMServiceCall(const DMServiceCall&) = delete;
    DMServiceCall& operator=(const DMServiceCall&) = delete;

private:
    DMDispatcher& m_dispatcher;
};

// Stores the status when the caller asked for it.
inline void SetDMStatus(int* status, int value) {
    if (status != nullptr) *status = value;
}

// One command of an operation, held for the operation's length; run when the caller chooses.
template <class C>
class DMCall {
public:
    // Takes the command.
    explicit DMCall(C* command) : m_command(command), m_holder(DMCmdHolder::Create(command)) {}
    int Run(DMDispatcher& dispatcher, DWORD timeoutMs) {
        return RunDMCommand(dispatcher, m_holder.get(), timeoutMs);
    }
    C& Command() const { return *m_command; }
    DMCmdHolder* Holder() const { return m_holder.get(); }

private:
    C* m_command;
    DMCmdHolderRef m_holder;
};

// One command of an operation, run at construction.
template <class C>
class DMOperation {
public:
    // Takes the command; writes the service status to *status when status is not null.
    DMOperation(DMDispatcher& dispatcher, C* command, DWORD timeoutMs, bool addExtra, int* status)
        : m_command(command), m_holder(DMCmdHolder::Create(command)) {
        m_status = RunDMCommand(dispatcher, m_holder.get(), timeoutMs, addExtra);
        SetDMStatus(status, m_status);
    }
    C* operator->() const { return m_command; }
    int Status() const { return m_status; }
    bool Succeeded() const { return m_status == kStatusSuccess; }

private:
    C* m_command;
    DMCmdHolderRef m_holder;
    int m_status = kStatusNoAnswer;
};

template <class C, class... A>
DMOperation<C> RunOperation(DMDispatcher& dispatcher, DWORD timeoutMs, bool addExtra, int* status,
                            A&&... args) {
    return DMOperation<C>(dispatcher, new C(std::forward<A>(args)...), timeoutMs, addExtra, status);
}

// A command whose reply body is one value: P names the header (kCategory, kSubCommand), the
// value's type and construction value (Value, kInitial) and how the body is read (Read).
template <class P>
class CDMValueCmd : public CSimpleDMCmd<P> {
public:
    using Value = typename P::Value;
    Value Reply() const {
        return this->WithFieldsLocked([this] { return m_value; });
    }

protected:
    CDMCmdWithStatus::ReplyCommit ParseReply(DMPacket& reader) override {
        Value v = P::Read(reader);
        return [this, v = std::move(v)] { m_value = v; };
    }

private:
    Value m_value = P::Initial();
};

// A command whose parameter is one number of type T (one byte, or 32 bits in the packet's order).
template <class P, class T = std::uint8_t>
class CDMParamCmd : public CSimpleDMCmd<P> {
    static_assert(sizeof(T) == 1 || sizeof(T) == 4);

public:
    explicit CDMParamCmd(T value) : m_value(value) {}

protected:
    void WriteParams(DMPacket& packet) override {
        if constexpr (sizeof(T) == 1)
            packet.WriteU8(m_value);
        else
            packet.WriteU32(m_value);
    }

private:
    T m_value;
};

// A command whose parameter is one text field of Width bytes after its length byte.
template <class P, std::uint32_t Width>
class CDMTextCmd : public CSimpleDMCmd<P> {
public:
    explicit CDMTextCmd(std::string text) : m_text(std::move(text)) {}

protected:
    void WriteParams(DMPacket& packet) override { WriteTextField(packet, m_text, Width); }

private:
    std::string m_text;
};

// A narrow string argument of the application's interfaces: null counts as empty.
inline std::string NarrowArg(const char* text) {
    return text != nullptr ? std::string(text) : std::string();
}
