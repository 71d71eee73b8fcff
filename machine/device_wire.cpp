#include "machine/device_wire.h"

namespace sim::wire {

namespace {

void WriteGuid(Writer& w, const GUID& g) {
    w.U32(g.Data1).U16(g.Data2).U16(g.Data3);
    for (BYTE b : g.Data4) w.U8(b);
}

bool ReadGuid(Reader& r, GUID& g) {
    std::uint32_t d1 = 0;
    std::uint16_t d2 = 0, d3 = 0;
    r.U32(d1);
    r.U16(d2);
    r.U16(d3);
    for (BYTE& b : g.Data4) {
        std::uint8_t v = 0;
        r.U8(v);
        b = v;
    }
    g.Data1 = d1;
    g.Data2 = d2;
    g.Data3 = d3;
    return r.Ok();
}

void WriteTexts(Writer& w, const std::vector<std::wstring>& list) {
    w.U32(static_cast<std::uint32_t>(list.size()));
    for (const auto& t : list) w.Text(t);
}

// Counts are checked against what is left as they are read: a count past the payload fails
// the read at its first missing item.
bool ReadTexts(Reader& r, std::vector<std::wstring>& list) {
    std::uint32_t count = 0;
    if (!r.U32(count)) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::wstring t;
        if (!r.Text(t)) return false;
        list.push_back(std::move(t));
    }
    return true;
}

void WriteValues(Writer& w, const std::map<std::wstring, std::wstring>& values) {
    w.U32(static_cast<std::uint32_t>(values.size()));
    for (const auto& [name, text] : values) w.Text(name).Text(text);
}

bool ReadValues(Reader& r, std::map<std::wstring, std::wstring>& values) {
    std::uint32_t count = 0;
    if (!r.U32(count)) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::wstring name, text;
        if (!r.Text(name) || !r.Text(text)) return false;
        values[name] = text;
    }
    return true;
}

}  // namespace

void WriteNodes(Writer& w, const std::vector<DeviceNode>& nodes) {
    w.U32(static_cast<std::uint32_t>(nodes.size()));
    for (const DeviceNode& n : nodes) {
        const DeviceNodeSpec& s = n.spec;
        w.U32(n.devInst).U32(n.parent).U8(n.present).U8(n.disabledGlobal).U8(n.disabledConfig);
        w.U32(n.problem).U8(s.model != nullptr).Text(s.instanceId);
        WriteTexts(w, s.hardwareIds);
        WriteTexts(w, s.compatibleIds);
        WriteGuid(w, s.classGuid);
        w.Text(s.className).Text(s.description).Text(s.friendlyName).Text(s.physicalObjectName);
        w.Text(s.manufacturer).Text(s.service);
        w.U32(static_cast<std::uint32_t>(s.interfaces.size()));
        for (const auto& i : s.interfaces) {
            WriteGuid(w, i.classGuid);
            w.Text(i.symbolicLink);
        }
        WriteValues(w, s.deviceKey);
        WriteValues(w, s.driverKey);
    }
}

bool ReadNodes(Reader& r, std::vector<DeviceNode>& nodes,
               const std::shared_ptr<DeviceModel>& model) {
    std::uint32_t count = 0;
    if (!r.U32(count)) return false;
    for (std::uint32_t k = 0; k < count; ++k) {
        DeviceNode n;
        DeviceNodeSpec& s = n.spec;
        std::uint32_t devInst = 0, parent = 0, problem = 0, interfaces = 0;
        std::uint8_t present = 0, global = 0, config = 0, hasModel = 0;
        r.U32(devInst);
        r.U32(parent);
        r.U8(present);
        r.U8(global);
        r.U8(config);
        r.U32(problem);
        r.U8(hasModel);
        r.Text(s.instanceId);
        if (!ReadTexts(r, s.hardwareIds) || !ReadTexts(r, s.compatibleIds) ||
            !ReadGuid(r, s.classGuid))
            return false;
        r.Text(s.className);
        r.Text(s.description);
        r.Text(s.friendlyName);
        r.Text(s.physicalObjectName);
        r.Text(s.manufacturer);
        r.Text(s.service);
        if (!r.U32(interfaces)) return false;
        for (std::uint32_t i = 0; i < interfaces; ++i) {
            DeviceInterfaceDef def{};
            if (!ReadGuid(r, def.classGuid) || !r.Text(def.symbolicLink)) return false;
            s.interfaces.push_back(std::move(def));
        }
        if (!ReadValues(r, s.deviceKey) || !ReadValues(r, s.driverKey)) return false;
        n.devInst = devInst;
        n.parent = parent;
        n.present = present != 0;
        n.disabledGlobal = global != 0;
        n.disabledConfig = config != 0;
        n.problem = problem;
        if (hasModel) s.model = model;
        nodes.push_back(std::move(n));
    }
    return r.Ok();
}

void WriteModemOptions(Writer& w, const ModemOptions& o) {
    w.U16(o.productId).U8(o.variant == ModemVariant::UsbChip ? 1 : 0).Text(o.serial);
    w.Text(o.cdromVendor).U32(o.leaveDelayMs).U32(o.arriveDelayMs).I32(o.firstComPort);
    w.U8(o.startInModemMode ? 1 : 0);
}

bool ReadModemOptions(Reader& r, ModemOptions& o) {
    std::uint16_t pid = 0;
    std::uint8_t variant = 0, modemMode = 0;
    std::int32_t firstCom = 0;
    ModemOptions read;
    if (!r.U16(pid) || !r.U8(variant) || !r.Text(read.serial) || !r.Text(read.cdromVendor) ||
        !r.U32(read.leaveDelayMs) || !r.U32(read.arriveDelayMs) || !r.I32(firstCom) ||
        !r.U8(modemMode))
        return false;
    // The instance IDs are made from the serial's last '&' part and the port numbers: keep them
    // names a machine could have.
    if (variant > 1 || firstCom < 1 || firstCom > 250 || read.serial.empty() ||
        read.serial.size() > 64 || read.cdromVendor.empty() || read.cdromVendor.size() > 16)
        return false;
    read.productId = pid;
    read.variant = variant == 1 ? ModemVariant::UsbChip : ModemVariant::Standard;
    read.firstComPort = firstCom;
    read.startInModemMode = modemMode != 0;
    o = read;
    return true;
}

}  // namespace sim::wire
