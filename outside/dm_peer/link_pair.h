// An in-process device link: the host end is the IDMLink an engine owns; the device side is a
// callback for what the host sends and a call for what the device sends back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "dm/link.h"

namespace dmpeer {

class LinkPair {
public:
    using DeviceSink = std::function<void(const std::uint8_t* data, std::size_t n)>;

    LinkPair();
    ~LinkPair();
    LinkPair(const LinkPair&) = delete;
    LinkPair& operator=(const LinkPair&) = delete;

    // The host end, for the engine to own. It shares the pair's state, so either side may go
    // first.
    std::unique_ptr<IDMLink> MakeHostEnd();
    // Where the host's bytes go; called on the host's sending thread.
    void SetDeviceSink(DeviceSink sink);
    // Bytes to the host; false when the host end is closed or the link is down.
    bool DeviceSend(const std::uint8_t* data, std::size_t n);
    // Plugs (true) or pulls (false) the cable; the host is told.
    void SetUp(bool up);
    bool IsUp() const;

    struct State;

private:
    std::shared_ptr<State> m_state;
};

}  // namespace dmpeer
