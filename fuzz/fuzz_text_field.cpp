// Text fields on any bytes, in the machine's code page 936: byte 0 picks the width and the
// coding, the rest is both a field to read and a text to write. A read moves by the field's size
// or raises and moves nothing; a written field is always its width (plus the length byte), the
// length byte never exceeds the width or 255, and UCS-2 never ends in half a unit.
#include <cstddef>
#include <cstdint>
#include <string>

#include "dm/text_fields.h"
#include "fuzz/machine_ready.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    EnsureMachine();
    if (size < 1) return 0;
    const uint32_t widths[] = {0, 1, 7, 8, 16, 32, 127, 160, 255, 256, 300, 512};
    const uint32_t width = widths[data[0] % 12];
    const TextCoding coding = static_cast<TextCoding>((data[0] >> 4) % 3);
    const bool ucs2 = (data[0] & 0x80) != 0;

    DMPacket reader(true, data + 1, size - 1);
    while (true) {
        const uint32_t before = reader.Position();
        try {
            ReadTextField(reader, width, ucs2);
            if (reader.Position() != before + width + 1) __builtin_trap();
        } catch (const CDMPacketException&) {
            if (reader.Position() != before) __builtin_trap();
            break;
        }
    }

    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    DMPacket field(false);
    WriteTextField(field, text, width, coding);
    if (field.Size() != width + 1) __builtin_trap();
    const uint8_t length = field.Data()[0];
    if (length > width || length > 255) __builtin_trap();
    if (coding == TextCoding::Ucs2 && length % 2 != 0) __builtin_trap();
    for (uint32_t i = 1u + length; i < field.Size(); ++i)
        if (field.Data()[i] != 0) __builtin_trap();
    ReadTextField(field, width, coding == TextCoding::Ucs2);

    DMPacket bytes(false);
    WriteTextBytes(bytes, text, width, coding);
    if (bytes.Size() != width) __builtin_trap();
    return 0;
}
