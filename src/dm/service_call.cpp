#include "dm/service_call.h"

int RunDMCommand(DMDispatcher& dispatcher, DMCmdHolder* holder, DWORD timeoutMs, bool addExtra) {
    CDMCmd* command = holder->Command();
    SubmitCommand(dispatcher, holder);  // a refused command is cancelled: its wait ends at once
    return MapCommandResult(command->Wait(timeoutMs, true, addExtra));
}
