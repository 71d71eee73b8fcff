// The XML document object model on any bytes of a layout file: every node and attribute is
// walked, each attribute read back by name, and the selections the layout loader makes are made.
#include <cstddef>
#include <cstdint>
#include <string>

#include "machine/machine.h"
#include <msxml2.h>

namespace {

void Walk(IXMLDOMNode* node) {
    const std::wstring name = node->nodeName();
    if (node->nodeType() == NODE_INVALID) __builtin_trap();
    for (const auto& [attribute, value] : node->attributes()) {
        auto again = node->getAttribute(attribute.c_str());
        if (!again || *again != value) __builtin_trap();
    }
    for (IXMLDOMNode* child : node->childNodes()) Walk(child);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = [] {
        sim::Machine::Reset(sim::Config::WindowsXP());
        return true;
    }();
    (void)ready;
    IXMLDOMDocument doc;
    if (doc.loadBytes(data, size) != VARIANT_TRUE) {
        if (doc.parseError().reason.empty() || doc.documentElement() != nullptr) __builtin_trap();
        return 0;
    }
    if (doc.documentElement() == nullptr) __builtin_trap();
    Walk(&doc);
    for (IXMLDOMNode* docking : doc.selectNodes(L"/root/docking")) {
        if (docking->nodeName() != L"docking") __builtin_trap();
        for (IXMLDOMNode* cell : docking->selectNodes(L"cell"))
            if (cell->nodeName() != L"cell") __builtin_trap();
    }
    return 0;
}
