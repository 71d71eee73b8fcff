// Typed properties: every attribute of a docking, a docking cell and an off-screen surface is a
// property object embedded in its owner, readable and writable through one uniform interface so
// that layouts and skinned controls can set attributes by name from text.
//
// Each property holds a pointer to its owner, given at construction. Properties can be neither
// copied nor moved, so neither can an owner that embeds them (a copy would carry properties that
// point at the original).
#pragma once

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <utility>

#include "docking/registry.h"
#include "docking/renderable.h"
#include "docking/style.h"
#include "docking/ui_guard.h"

namespace System::Docking {

// A generic get or set that the property refuses: wrong type, not readable or not writable.
class PropertyAccessError : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

template <class T>
class IProperty {
public:
    IProperty() = default;
    IProperty(const IProperty&) = delete;
    IProperty& operator=(const IProperty&) = delete;
    virtual ~IProperty() = default;

    // The run-time identity of the value type.
    virtual const std::type_info& type() const = 0;
    // Generic get: a copy of the typed get; refused unless the type is T and the property
    // readable.
    virtual T Get() const {
        if (type() != typeid(T) || !readable())
            throw PropertyAccessError("the property cannot be read as this type");
        return Read();
    }
    // Generic set: the typed set; refused unless the type is T and the property writable.
    virtual void Set(const T& value) {
        if (type() != typeid(T) || !writable())
            throw PropertyAccessError("the property cannot be written as this type");
        Assign(value);
    }
    virtual bool readable() const = 0;
    virtual bool writable() const = 0;
    // Typed set.
    virtual void Assign(const T& value) = 0;
    // Const typed get: the stored value.
    virtual const T& Value() const = 0;
    // The value of the typed get: the stored value, or what the owner computes (links).
    virtual T Read() const { return Value(); }
};

// The generic property: stores one T; neither readable nor writable; the typed set assigns.
template <class Owner, class T>
class Property : public IProperty<T> {
public:
    explicit Property(Owner* owner, T initial = T{}) : value_(std::move(initial)), owner_(owner) {}

    const std::type_info& type() const override { return typeid(T); }
    bool readable() const override { return false; }
    bool writable() const override { return false; }
    void Assign(const T& value) override { value_ = value; }
    const T& Value() const override { return value_; }
    Owner* owner() const { return owner_; }

protected:
    T value_;

private:
    Owner* owner_;
};

// A stored value that is readable and writable (a cell's docking; the base of a window handle).
template <class Owner, class T>
class ValueProperty : public Property<Owner, T> {
public:
    using Property<Owner, T>::Property;
    bool readable() const override { return true; }
    bool writable() const override { return true; }
    // Typed get.
    T& Ref() { return this->value_; }
};

// A value that the owner computes or keeps itself: readable, not writable through the generic
// set (surface sizes, links, a cell's client rectangle).
template <class Owner, class T>
class ReadOnlyProperty : public Property<Owner, T> {
public:
    using Property<Owner, T>::Property;
    bool readable() const override { return true; }
    T& Ref() { return this->value_; }
};

// A link that the owner computes on every read (parent, root, owner): readable, not writable
// through the generic set. The typed set stores a value that the computation may use; the const
// typed get is that stored value. Each link overrides Read.
template <class Owner, class T>
class LinkProperty : public Property<Owner, T> {
public:
    using Property<Owner, T>::Property;
    bool readable() const override { return true; }
    T Read() const override = 0;
};

template <class Owner>
using IntProperty = ValueProperty<Owner, int>;

// Plain text; stopAtNul keeps only the part before the first NUL character.
template <class Owner>
class TextProperty : public ValueProperty<Owner, std::wstring> {
public:
    explicit TextProperty(Owner* owner, bool stopAtNul = false)
        : ValueProperty<Owner, std::wstring>(owner), stopAtNul_(stopAtNul) {}
    void Assign(const std::wstring& value) override {
        this->value_ = stopAtNul_ ? std::wstring(value.c_str()) : value;
    }

private:
    bool stopAtNul_;
};

// An int clamped to 0..90 (the corner radius).
template <class Owner>
class RadiusProperty : public Property<Owner, int> {
public:
    using Property<Owner, int>::Property;
    bool readable() const override { return true; }
    bool writable() const override { return true; }
    void Assign(const int& value) override { this->value_ = std::clamp(value, 0, 90); }
    const int& Ref() const { return this->value_; }
};

// The id: keeps the id registry current. The owner (an IRenderable) is registered under a
// non-empty id; changing the id removes the old pair; the owner's end removes the last one.
template <class Owner>
class IdProperty : public Property<Owner, std::wstring> {
public:
    explicit IdProperty(Owner* owner)
        : Property<Owner, std::wstring>(owner), self_(static_cast<IRenderable*>(owner)) {}
    ~IdProperty() override {
        if (!this->value_.empty()) RemoveRenderableId(this->value_, self_);
    }
    bool readable() const override { return true; }
    bool writable() const override { return true; }
    void Assign(const std::wstring& id) override {
        if (!this->value_.empty() && this->value_ != id) RemoveRenderableId(this->value_, self_);
        this->value_ = id;
        if (!this->value_.empty()) AddRenderableId(this->value_, self_);
    }
    // Read-only: the registry follows only the typed set.
    const std::wstring& Ref() const { return this->value_; }

private:
    IRenderable* self_;
};

// A window handle, with the style text that goes with the window. Owners register themselves in
// the window registry under the handle they hold (each in its own way: OnHandleChanged); the
// property removes the owner's entry for a handle it gives up, and at its end the entry of the
// handle it holds.
template <class Owner>
class HandleProperty : public Property<Owner, HWND> {
public:
    explicit HandleProperty(Owner* owner)
        : Property<Owner, HWND>(owner, nullptr), self_(static_cast<IRenderable*>(owner)) {}
    ~HandleProperty() override {
        if (this->value_ != nullptr) RemoveRenderableWindow(this->value_, self_);
    }
    bool readable() const override { return true; }
    bool writable() const override { return true; }
    // The windows' dockings may change trees (a cell hosting a skinned dialog's window nests its
    // docking): the whole change is a move of the trees involved (TreeMove).
    void Assign(const HWND& window) override {
        const HWND old = this->value_;
        TreeMove move;
        move.Add(*self_);
        move.AddWindow(old);
        if (window != old) move.AddWindow(window);
        if (old != nullptr && old != window) RemoveRenderableWindow(old, self_);
        this->value_ = window;
        this->owner()->OnHandleChanged(old, window);
    }
    // Typed get. Read-only: the registry follows only the typed set.
    HWND Ref() const { return this->value_; }

    // The window's style text (how a cell places its window).
    std::wstring style;

private:
    IRenderable* self_;
};

// A style property: text in, parsed fields out. Writable, not readable; the typed get is the
// property itself (its fields are what painters read); the const typed get is the last text for
// kinds that keep it (border), else empty.
template <class Owner, class Fields>
class ParsedProperty : public Property<Owner, std::wstring>, public Fields {
public:
    using Property<Owner, std::wstring>::Property;
    bool writable() const override { return true; }
    void Assign(const std::wstring& text) override {
        Fields::Apply(text);
        if constexpr (Fields::kKeepsText) this->value_ = text;
    }
    ParsedProperty& Ref() { return *this; }
    // Back to the kind's defaults.
    void Restore() {
        static_cast<Fields&>(*this) = Fields{};
        this->value_.clear();
    }
};

template <class Owner>
using PaddingProperty = ParsedProperty<Owner, BoxFields>;
template <class Owner>
using MarginProperty = ParsedProperty<Owner, BoxFields>;
template <class Owner>
using BackgroundProperty = ParsedProperty<Owner, BackgroundFields>;
template <class Owner>
using FontProperty = ParsedProperty<Owner, FontFields>;
template <class Owner>
using BorderProperty = ParsedProperty<Owner, BorderFields>;
template <class Owner>
using WindowProperty = ParsedProperty<Owner, WindowFields>;

// A cell property that a style text may set: text or int.
struct CellPropertySlot {
    IProperty<std::wstring>* text = nullptr;
    IProperty<int>* number = nullptr;
};
inline CellPropertySlot SlotOf(IProperty<std::wstring>& p) {
    return {&p, nullptr};
}
inline CellPropertySlot SlotOf(IProperty<int>& p) {
    return {nullptr, &p};
}

// The names through which a style text reaches a cell's properties (built on first use).
// "padding", "radius", "cursor" and "zindex" are not among them.
template <class Cell>
const std::map<std::wstring, CellPropertySlot (*)(Cell&)>& CellPropertyTable() {
    using Slot = CellPropertySlot (*)(Cell&);
    static const std::map<std::wstring, Slot> table = {
        {L"background", [](Cell& c) { return SlotOf(c.background); }},
        {L"text", [](Cell& c) { return SlotOf(c.text); }},
        {L"id", [](Cell& c) { return SlotOf(c.id); }},
        {L"width", [](Cell& c) { return SlotOf(c.width); }},
        {L"height", [](Cell& c) { return SlotOf(c.height); }},
        {L"font", [](Cell& c) { return SlotOf(c.font); }},
        {L"margin", [](Cell& c) { return SlotOf(c.margin); }},
        {L"border", [](Cell& c) { return SlotOf(c.border); }},
    };
    return table;
}

// Applies every name/value pair of the style text that the cell property table knows, through
// the generic set: texts as they are, ints read as numbers. An empty text changes nothing.
template <class Cell>
void ApplyCellStyle(const std::wstring& style, Cell& cell) {
    if (style.empty()) return;
    const auto& table = CellPropertyTable<Cell>();
    for (const auto& [name, value] : ParseStyleText(style)) {
        auto it = table.find(name);
        if (it == table.end()) continue;
        CellPropertySlot slot = it->second(cell);
        if (slot.text && slot.text->type() == typeid(std::wstring) && slot.text->writable())
            slot.text->Set(value);
        else if (slot.number && slot.number->type() == typeid(int) && slot.number->writable())
            slot.number->Set(ReadStyleNumber(value));
    }
}

}  // namespace System::Docking
