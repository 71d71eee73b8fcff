// How a device operation sends one command: the command goes into a holder, is submitted to the
// engine (cancelled at once when the engine cannot take it), and is waited for with the
// operation's time-out (cancelled when it runs out, the engine's extra time added); the
// completion becomes the service status. The reply fields are read while the holder is alive.
#pragma once

#include "dm/command.h"
#include "dm/engine.h"

// Submits the holder's command and waits; returns the service status.
int RunDMCommand(DMDispatcher& dispatcher, DMCmdHolder* holder, DWORD timeoutMs);

// Stores the status when the caller asked for it.
inline void SetDMStatus(int* status, int value) {
    if (status != nullptr) *status = value;
}

// One command of an operation, held for the operation's length.
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
