// The XML document object model over libxml2: the file is read with the layer's own file
// functions and parsed from memory; nodes are wrapped on first use and kept by the document.
#include <msxml2.h>

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <climits>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include <winbase.h>
#include "machine/handles.h"
#include "machine/machine.h"
#include "machine/trace.h"

struct IXMLDOMDocument::Nodes {
    std::unordered_map<xmlNode*, IXMLDOMNode*> byNode;
};

namespace {

// The parser reads nothing but the bytes it is given: no network, no entity substitution, no
// external document type definition.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

// Any external resource (a document type definition, an entity) is refused: the parser options
// already keep libxml2 from asking, this makes sure nothing is read if it does.
xmlParserInputPtr RefuseExternal(const char*, const char*, xmlParserCtxtPtr) {
    return nullptr;
}

void InitLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(RefuseExternal);
    });
}

std::wstring Wide(const xmlChar* s) {
    return s == nullptr ? std::wstring() : sim::FromUtf8(reinterpret_cast<const char*>(s));
}

// Drops the trailing line break libxml2 ends its messages with.
std::wstring Message(const char* text) {
    std::wstring m = text == nullptr ? L"" : sim::FromUtf8(text);
    while (!m.empty() && (m.back() == L'\n' || m.back() == L'\r')) m.pop_back();
    return m;
}

// An element's or attribute's name with its namespace prefix.
std::wstring QualifiedName(const xmlChar* name, const xmlNs* ns) {
    std::wstring n = Wide(name);
    if (ns != nullptr && ns->prefix != nullptr) n = Wide(ns->prefix) + L":" + n;
    return n;
}

// Whether the UTF-8 text starts `wanted`; `wanted` moves past the part that matched. ASCII is
// compared as it stands, anything else through a conversion.
bool MatchUtf8(const char* text, std::wstring_view& wanted) {
    std::size_t n = 0;
    for (; text[n] != '\0'; ++n) {
        const auto c = static_cast<unsigned char>(text[n]);
        if (c >= 0x80) {
            const std::wstring wide = sim::FromUtf8(text);
            if (!wanted.starts_with(wide)) return false;
            wanted.remove_prefix(wide.size());
            return true;
        }
        if (n >= wanted.size() || wanted[n] != static_cast<wchar_t>(c)) return false;
    }
    wanted.remove_prefix(n);
    return true;
}

// Whether the name with its namespace prefix is `wanted`, without building either as a string.
bool NameIs(const xmlChar* name, const xmlNs* ns, std::wstring_view wanted) {
    if (ns != nullptr && ns->prefix != nullptr) {
        if (!MatchUtf8(reinterpret_cast<const char*>(ns->prefix), wanted) || wanted.empty() ||
            wanted.front() != L':')
            return false;
        wanted.remove_prefix(1);
    }
    return MatchUtf8(name == nullptr ? "" : reinterpret_cast<const char*>(name), wanted) &&
           wanted.empty();
}

// An attribute's value: its text pieces (entity references there can only name entities that
// were never declared, which contribute nothing).
std::wstring ValueOf(const xmlAttr* a) {
    std::string value;
    for (const xmlNode* c = a->children; c != nullptr; c = c->next)
        if ((c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) &&
            c->content != nullptr)
            value += reinterpret_cast<const char*>(c->content);
    return sim::FromUtf8(value);
}

bool Listed(xmlElementType type) {
    switch (type) {
        case XML_ELEMENT_NODE:
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
        case XML_COMMENT_NODE:
        case XML_PI_NODE:
            return true;
        default:
            return false;
    }
}

// What a parse knows beyond libxml2's own context: whether the document declared an entity.
struct ParseState {
    bool refused = false;
    long line = 0;
};

ParseState* StateOf(void* ctx) {
    return static_cast<ParseState*>(static_cast<xmlParserCtxtPtr>(ctx)->_private);
}

void StopAtEntity(void* ctx) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    ParseState* state = StateOf(ctx);
    if (!state->refused) {
        state->refused = true;
        state->line = ctxt->input != nullptr ? ctxt->input->line : 0;
    }
    xmlStopParser(ctxt);
}

// A declaration of an entity stops the parse at once, before anything refers to the entity.
void RefuseEntity(void* ctx, const xmlChar*, int, const xmlChar*, const xmlChar*, xmlChar*) {
    StopAtEntity(ctx);
}

void RefuseUnparsedEntity(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*,
                          const xmlChar*) {
    StopAtEntity(ctx);
}

// XPath errors are answered by the empty selection, not printed.
void IgnoreError(void*, xmlErrorPtr) {}
void IgnoreMessage(void*, const char*, ...) {}

// Keeps the thread's generic error messages of libxml2 (some XPath errors go there) quiet for
// its lifetime.
class QuietErrors {
public:
    QuietErrors() : handler_(xmlGenericError), context_(xmlGenericErrorContext) {
        xmlSetGenericErrorFunc(nullptr, IgnoreMessage);
    }
    ~QuietErrors() { xmlSetGenericErrorFunc(context_, handler_); }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;

private:
    xmlGenericErrorFunc handler_;
    void* context_;
};

}  // namespace

// ---- The node ----

DOMNodeType IXMLDOMNode::nodeType() const {
    API_TRACE(Xml, nodeType);
    if (node_ == nullptr) return NODE_INVALID;
    switch (node_->type) {
        case XML_ELEMENT_NODE:
            return NODE_ELEMENT;
        case XML_ATTRIBUTE_NODE:
            return NODE_ATTRIBUTE;
        case XML_TEXT_NODE:
            return NODE_TEXT;
        case XML_CDATA_SECTION_NODE:
            return NODE_CDATA_SECTION;
        case XML_PI_NODE:
            return NODE_PROCESSING_INSTRUCTION;
        case XML_COMMENT_NODE:
            return NODE_COMMENT;
        case XML_DOCUMENT_NODE:
            return NODE_DOCUMENT;
        default:
            return NODE_INVALID;
    }
}

std::wstring IXMLDOMNode::nodeName() const {
    API_TRACE(Xml, nodeName);
    switch (nodeType()) {
        case NODE_ELEMENT:
            return QualifiedName(node_->name, node_->ns);
        case NODE_ATTRIBUTE:
            return QualifiedName(node_->name, reinterpret_cast<const xmlAttr*>(node_)->ns);
        case NODE_PROCESSING_INSTRUCTION:
            return Wide(node_->name);
        case NODE_TEXT:
            return L"#text";
        case NODE_CDATA_SECTION:
            return L"#cdata-section";
        case NODE_COMMENT:
            return L"#comment";
        case NODE_DOCUMENT:
            return L"#document";
        default:
            return L"";
    }
}

std::optional<std::wstring> IXMLDOMNode::getAttribute(LPCWSTR name) const {
    API_TRACE(Xml, getAttribute, name);
    if (name == nullptr) return sim::Fail(std::optional<std::wstring>(), ERROR_INVALID_PARAMETER);
    if (node_ == nullptr || node_->type != XML_ELEMENT_NODE) return std::nullopt;
    for (const xmlAttr* a = node_->properties; a != nullptr; a = a->next)
        if (NameIs(a->name, a->ns, name)) return ValueOf(a);
    return std::nullopt;
}

std::vector<std::pair<std::wstring, std::wstring>> IXMLDOMNode::attributes() const {
    API_TRACE(Xml, attributes);
    std::vector<std::pair<std::wstring, std::wstring>> out;
    if (node_ == nullptr || node_->type != XML_ELEMENT_NODE) return out;
    for (const xmlAttr* a = node_->properties; a != nullptr; a = a->next)
        out.emplace_back(QualifiedName(a->name, a->ns), ValueOf(a));
    return out;
}

std::vector<IXMLDOMNode*> IXMLDOMNode::childNodes() const {
    API_TRACE(Xml, childNodes);
    std::vector<IXMLDOMNode*> out;
    if (node_ == nullptr || (node_->type != XML_ELEMENT_NODE && node_->type != XML_DOCUMENT_NODE))
        return out;
    for (xmlNode* c = node_->children; c != nullptr; c = c->next)
        if (Listed(c->type)) out.push_back(owner_->Wrap(c));
    return out;
}

std::vector<IXMLDOMNode*> IXMLDOMNode::selectNodes(LPCWSTR path) const {
    API_TRACE(Xml, selectNodes, path);
    using Result = std::vector<IXMLDOMNode*>;
    if (path == nullptr) return sim::Fail(Result(), ERROR_INVALID_PARAMETER);
    if (node_ == nullptr) return Result();
    xmlXPathContextPtr context = xmlXPathNewContext(node_->doc);
    if (context == nullptr) return sim::Fail(Result(), ERROR_NOT_ENOUGH_MEMORY);
    context->node = node_;
    context->error = IgnoreError;
    const std::string expression = sim::ToUtf8(path);
    QuietErrors quiet;
    xmlXPathObjectPtr found =
        xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(expression.c_str()), context);
    xmlXPathFreeContext(context);
    if (found == nullptr || found->type != XPATH_NODESET) {
        xmlXPathFreeObject(found);
        return sim::Fail(Result(), ERROR_INVALID_PARAMETER);
    }
    Result out;
    if (xmlNodeSet* set = found->nodesetval) {
        xmlXPathNodeSetSort(set);
        for (int i = 0; i < set->nodeNr; ++i) {
            xmlNode* n = set->nodeTab[i];
            // Namespace nodes are no nodes of the tree; the rest are.
            if (n != nullptr && n->type != XML_NAMESPACE_DECL) out.push_back(owner_->Wrap(n));
        }
    }
    xmlXPathFreeObject(found);
    return out;
}

IXMLDOMNode* IXMLDOMNode::selectSingleNode(LPCWSTR path) const {
    API_TRACE(Xml, selectSingleNode, path);
    std::vector<IXMLDOMNode*> found = selectNodes(path);
    return found.empty() ? nullptr : found.front();
}

// ---- The document ----

IXMLDOMDocument::IXMLDOMDocument() : IXMLDOMNode(this, nullptr), nodes_(new Nodes) {
    InitLibrary();
}

IXMLDOMDocument::~IXMLDOMDocument() {
    Clear();
    delete nodes_;
}

void IXMLDOMDocument::Clear() {
    for (auto& [n, wrapper] : nodes_->byNode) delete wrapper;
    nodes_->byNode.clear();
    if (doc_ != nullptr) xmlFreeDoc(doc_);
    doc_ = nullptr;
    node_ = nullptr;
}

IXMLDOMNode* IXMLDOMDocument::Wrap(_xmlNode* node) const {
    if (node == reinterpret_cast<xmlNode*>(doc_)) return const_cast<IXMLDOMDocument*>(this);
    IXMLDOMNode*& wrapper = nodes_->byNode[node];
    if (wrapper == nullptr) wrapper = new IXMLDOMNode(const_cast<IXMLDOMDocument*>(this), node);
    return wrapper;
}

VARIANT_BOOL IXMLDOMDocument::Refuse(long code, DWORD error, std::wstring reason) {
    error_.errorCode = code;
    error_.reason = std::move(reason);
    return sim::Fail(VARIANT_FALSE, error);
}

VARIANT_BOOL IXMLDOMDocument::load(LPCWSTR path) {
    API_TRACE(Xml, load, path);
    Clear();
    error_ = {};
    if (path == nullptr)
        return Refuse(ERROR_INVALID_PARAMETER, ERROR_INVALID_PARAMETER, L"no path");
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD e = GetLastError();
        return Refuse(static_cast<long>(e), e,
                      L"the file cannot be opened (error " + std::to_wstring(e) + L")");
    }
    DWORD high = 0;
    const DWORD size = GetFileSize(file, &high);
    if (size == INVALID_FILE_SIZE || high != 0 || size > kMaxFileSize) {
        CloseHandle(file);
        return Refuse(ERROR_INVALID_DATA, ERROR_INVALID_DATA, L"the file is too large");
    }
    std::string bytes(size, '\0');
    DWORD total = 0;
    while (total < size) {
        DWORD read = 0;
        if (!ReadFile(file, bytes.data() + total, size - total, &read, nullptr)) {
            DWORD e = GetLastError();
            CloseHandle(file);
            return Refuse(static_cast<long>(e), e,
                          L"the file cannot be read (error " + std::to_wstring(e) + L")");
        }
        if (read == 0) break;  // it became shorter meanwhile
        total += read;
    }
    CloseHandle(file);
    bytes.resize(total);
    return loadBytes(bytes.data(), bytes.size());
}

VARIANT_BOOL IXMLDOMDocument::loadBytes(const void* data, std::size_t size) {
    API_TRACE(Xml, loadBytes, data, size);
    Clear();
    error_ = {};
    if (data == nullptr && size != 0)
        return Refuse(ERROR_INVALID_PARAMETER, ERROR_INVALID_PARAMETER, L"no bytes");
    if (size > kMaxFileSize)
        return Refuse(ERROR_INVALID_DATA, ERROR_INVALID_DATA, L"the document is too large");
    if (size == 0)
        return Refuse(XML_ERR_DOCUMENT_EMPTY, ERROR_INVALID_DATA, L"the document is empty");
    xmlParserCtxtPtr ctxt =
        xmlCreateMemoryParserCtxt(static_cast<const char*>(data), static_cast<int>(size));
    if (ctxt == nullptr)
        return Refuse(XML_ERR_NO_MEMORY, ERROR_NOT_ENOUGH_MEMORY, L"out of memory");
    xmlCtxtUseOptions(ctxt, kParseOptions);
    ParseState state;
    ctxt->_private = &state;
    ctxt->sax->entityDecl = RefuseEntity;
    ctxt->sax->unparsedEntityDecl = RefuseUnparsedEntity;
    xmlParseDocument(ctxt);
    xmlDocPtr doc = ctxt->myDoc;
    ctxt->myDoc = nullptr;
    const bool ok = doc != nullptr && ctxt->wellFormed && !state.refused;
    if (ok) {
        xmlFreeParserCtxt(ctxt);
        doc_ = doc;
        node_ = reinterpret_cast<xmlNode*>(doc);
        return VARIANT_TRUE;
    }
    if (doc != nullptr) xmlFreeDoc(doc);
    if (state.refused) {
        error_.line = state.line;
        xmlFreeParserCtxt(ctxt);
        return Refuse(XML_ERR_USER_STOP, ERROR_INVALID_DATA,
                      L"the document declares an entity, which is not accepted");
    }
    const xmlError& e = ctxt->lastError;
    error_.line = e.line;
    error_.linepos = e.int2;
    const long code = e.code != 0 ? e.code : XML_ERR_INTERNAL_ERROR;
    std::wstring reason = Message(e.message);
    xmlFreeParserCtxt(ctxt);
    return Refuse(code, ERROR_INVALID_DATA, reason.empty() ? L"not well-formed" : reason);
}

IXMLDOMNode* IXMLDOMDocument::documentElement() const {
    API_TRACE(Xml, documentElement);
    xmlNode* root = doc_ != nullptr ? xmlDocGetRootElement(doc_) : nullptr;
    return root != nullptr ? Wrap(root) : nullptr;
}
