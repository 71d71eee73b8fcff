// The simulated modem's answers to the device information, R-UIM and PIN, engineering and voice
// commands, from a state that tests set and read, and the payloads of the common and call
// reports.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "dm_peer/dm_peer.h"

namespace dmpeer {

struct DeviceState {
    // Extended version texts (32, 11, 8 bytes) and the old query's three texts (11, 8, 8).
    std::string versionX = "FW1.0", versionY = "B01", versionZ = "20260101";
    std::string oldC = "OLD-C", oldD = "OLD-D", oldE = "OLD-E";
    std::uint16_t hwA = 1, hwB = 2;  // also the ESN's two halves, least significant first
    std::uint16_t year = 2026;
    std::array<std::uint8_t, 5> time = {12, 9, 17, 30, 45};  // month, day, hour, minute, second
    std::uint8_t dormant = 0;
    std::uint32_t baud = 115200;
    std::array<std::uint8_t, 4> service = {1, 7, 0, 1};
    std::uint8_t mode = 1;
    std::array<std::uint8_t, 8> imsi = {4, 6, 0, 0, 3, 1, 2, 3};
    std::uint16_t minCount = 0;            // the count the reply claims
    std::vector<std::uint8_t> minEntries;  // the entry bytes it carries
    std::string pppUser = "card", pppPassword = "secret";
    std::uint8_t mccmnc = 1;
    std::uint16_t hardwareVersion = 0x0102;
    std::uint8_t schematicsLength = 4;
    std::string schematics = "SCH1";
    std::uint8_t initRuim = 1;
    std::uint8_t evdo = 1;
    // The status reply: s0..s4, w, r0..r2.
    std::array<std::uint8_t, 5> s = {};
    std::uint16_t w = 0;
    std::array<std::uint8_t, 3> r = {};

    std::uint8_t ruimFlag = 1, ruimState = 1;
    std::string pin = "1234";
    std::string puk = "12345678";
    std::uint8_t pinEnabled = 1;
    std::uint8_t pinCount = 3, pukCount = 10;
    std::uint8_t insertedTimes = 2, ruimType = 1;
    std::array<std::uint16_t, 10> serviceCodes = {};

    // Engineering replies by sub-command (raw bytes after the status byte).
    std::array<std::vector<std::uint8_t>, 13> engineering;

    std::uint8_t mute = 0;
};

// Installs handlers for every command above on the peer. The state must outlive the peer's use
// of it; handlers run on the host's sending thread, so tests change the state only while no
// command is on its way.
void InstallDeviceHandlers(Peer& peer, DeviceState& state);

// Report payloads: a text field (length byte, then width bytes) and an optional value byte.
Bytes TextFieldPayload(const std::string& text, std::uint32_t width, std::uint8_t length);
Bytes TextFieldPayload(const std::string& text, std::uint32_t width);

}  // namespace dmpeer
