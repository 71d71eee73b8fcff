// The XML document object model: a document loaded from a file (or from bytes in memory), its
// nodes, attributes read as present or absent, and selection of nodes by XPath paths.
//
//   IXMLDOMDocument doc;
//   if (doc.load(L"C:\\Program Files\\Modem\\skin\\default\\SettingDlg.xml") != VARIANT_TRUE)
//       Report(doc.parseError().reason);
//   for (IXMLDOMNode* docking : doc.selectNodes(L"/root/docking"))
//       for (IXMLDOMNode* cell : docking->selectNodes(L"cell"))
//           if (auto index = cell->getAttribute(L"index")) ...
//
// The document owns its nodes: a node pointer stays valid, and the same node always has the same
// pointer, while the document lives and until its next load (so a node may travel as a message's
// wParam to a handler that reads it during the call). A document and its nodes belong to one
// thread at a time.
//
// Texts are wide strings. The bytes are decoded as the document declares (a byte-order mark, or
// the encoding in the XML declaration such as GB2312, GBK or UTF-16; UTF-8 without either).
// Documents are outside input: nothing but the given bytes is ever read (no external document
// type definitions or entities, no network), and a document that declares entities of its own is
// refused, so no entity expands beyond the predefined ones and character references. Namespace
// declarations are not attributes here.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <windef.h>

using VARIANT_BOOL = short;
#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)

enum DOMNodeType {
    NODE_INVALID = 0,
    NODE_ELEMENT = 1,
    NODE_ATTRIBUTE = 2,
    NODE_TEXT = 3,
    NODE_CDATA_SECTION = 4,
    NODE_PROCESSING_INSTRUCTION = 7,
    NODE_COMMENT = 8,
    NODE_DOCUMENT = 9,
};

// Why the last load failed: the error's number (the file's Windows error when it could not be
// read, else the parser's), its line and column (from 1; 0 when not in the text) and a text.
struct XMLDOMParseError {
    long errorCode = 0;
    long line = 0;
    long linepos = 0;
    std::wstring reason;
};

struct _xmlNode;
struct _xmlDoc;
class IXMLDOMDocument;

class IXMLDOMNode {
public:
    IXMLDOMNode(const IXMLDOMNode&) = delete;
    IXMLDOMNode& operator=(const IXMLDOMNode&) = delete;

    DOMNodeType nodeType() const;
    // An element's or attribute's qualified name, a processing instruction's target; "#text",
    // "#cdata-section", "#comment", "#document" for the others.
    std::wstring nodeName() const;
    // The attribute of that qualified name (case-sensitive) of an element; nothing when the
    // element has no such attribute (an empty value is a present one) or this is no element.
    std::optional<std::wstring> getAttribute(LPCWSTR name) const;
    // Every attribute of an element, name and value, in document order.
    std::vector<std::pair<std::wstring, std::wstring>> attributes() const;
    // The children of an element or of the document: elements, texts, CDATA sections, comments
    // and processing instructions, in document order.
    std::vector<IXMLDOMNode*> childNodes() const;
    // The nodes an XPath expression selects, this node being the context ("/root/docking" from
    // anywhere, "cell" for the children named cell), in document order. An expression that is
    // not valid or selects no nodes (a number, a text) gives nothing, with the last error
    // ERROR_INVALID_PARAMETER.
    std::vector<IXMLDOMNode*> selectNodes(LPCWSTR path) const;
    // The first of those; null when there is none.
    IXMLDOMNode* selectSingleNode(LPCWSTR path) const;

protected:
    IXMLDOMNode(IXMLDOMDocument* owner, _xmlNode* node) : owner_(owner), node_(node) {}
    ~IXMLDOMNode() = default;

    IXMLDOMDocument* owner_;
    _xmlNode* node_;  // null: a document without content

    friend class IXMLDOMDocument;
};

class IXMLDOMDocument : public IXMLDOMNode {
public:
    IXMLDOMDocument();
    ~IXMLDOMDocument();

    // Reads the file (a machine path such as "C:\\...") and parses it; the earlier content and
    // its nodes go first. VARIANT_FALSE, with parseError() and the last error set (the file's
    // error, or ERROR_INVALID_DATA for a document that is not well-formed or is refused), leaves
    // the document empty.
    VARIANT_BOOL load(LPCWSTR path);
    // The same for the bytes of a document.
    VARIANT_BOOL loadBytes(const void* data, std::size_t size);
    // The document's root element; null when empty.
    IXMLDOMNode* documentElement() const;
    const XMLDOMParseError& parseError() const { return error_; }

    // Files larger than this are refused.
    static constexpr DWORD kMaxFileSize = 16u * 1024u * 1024u;

private:
    friend class IXMLDOMNode;
    struct Nodes;

    IXMLDOMNode* Wrap(_xmlNode* node) const;
    void Clear();
    VARIANT_BOOL Refuse(long code, DWORD error, std::wstring reason);

    _xmlDoc* doc_ = nullptr;
    Nodes* nodes_;
    XMLDOMParseError error_;
};
