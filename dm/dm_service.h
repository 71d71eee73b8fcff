// The device command service: the one object through which an application reaches the modem's
// command set. It owns the command engine and, as they are built, the sub-services that carry
// their commands over it.
#pragma once

#include <cstdint>
#include <memory>

#include "dm/engine.h"
#include "dm/link.h"
#include "dm/log.h"
#include "dm/phonebook.h"

// The application's interface. Getters of the sub-services join it as each sub-service is
// built; SetLogLevel is the last slot. There is no virtual destructor: ReleaseDMService frees the
// object.
class IDMService {
public:
    virtual IPhonebookService* GetPhonebook() = 0;
    virtual void SetLogLevel(std::uint8_t level) = 0;

protected:
    ~IDMService() = default;
};

class CDMService final : public IDMService {
public:
    // Builds the dispatcher and the engine, registers the sub-services' report parsers, starts
    // the engine's reader and opens the link, then starts the worker. `log` may be null (a log
    // without library).
    CDMService(std::unique_ptr<IDMLink> link, std::unique_ptr<CLog> log,
               DMEngineConfig config = {});
    // Stops the engine (every waiting caller returns), stops the dispatcher, destroys the
    // sub-services, then the engine and the dispatcher.
    ~CDMService();
    CDMService(const CDMService&) = delete;
    CDMService& operator=(const CDMService&) = delete;

    // SetLevel(level) on the engine's log, then SetEnabled(1), under the log lock.
    void SetLogLevel(std::uint8_t level) override;
    IPhonebookService* GetPhonebook() override { return m_phonebook.get(); }

    DMDispatcher& Dispatcher() { return *m_dispatcher; }
    DMEngine& Engine() { return *m_engine; }

private:
    std::unique_ptr<DMDispatcher> m_dispatcher;
    std::unique_ptr<DMEngine> m_engine;
    // Sub-services, in this order, each added by the issue that builds it (each is handed the
    // dispatcher; those with report parsers register them in the dispatcher's list here):
    //   SMS (first scheme), SMS (second scheme), common device information, phone book, R-UIM,
    //   engineering mode, PPP settings, voice.
    std::unique_ptr<CDMPhonebook> m_phonebook;
};

// Destroys and frees the service; null does nothing.
void ReleaseDMService(IDMService* service);
