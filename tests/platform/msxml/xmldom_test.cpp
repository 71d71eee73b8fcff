// The XML document object model: loading files through the machine's files in their declared
// encodings, attributes present or absent, selections in document order, failures, and documents
// that try to expand entities or read other files.
#include <optional>
#include <string>
#include <vector>

#include "common/sim_fixture.h"
#include <winbase.h>
#include "machine/trace.h"
#include <msxml2.h>

namespace {

const std::wstring kPath = L"C:\\skin\\default\\Layout.xml";

// The text in UTF-16 with its byte-order mark, little- or big-endian.
std::string Utf16(const std::wstring& text, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (wchar_t c : text) {
        auto hi = static_cast<char>((c >> 8) & 0xFF);
        auto lo = static_cast<char>(c & 0xFF);
        out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    return out;
}

class XmlDom : public SimTest {
protected:
    // Writes the bytes to the layout path and loads them.
    VARIANT_BOOL Load(const std::string& bytes) {
        M().WriteFile(kPath, bytes);
        return doc_.load(kPath.c_str());
    }
    // The values of one attribute of the nodes, in order ("-" for an absent one).
    static std::vector<std::wstring> Values(const std::vector<IXMLDOMNode*>& nodes, LPCWSTR name) {
        std::vector<std::wstring> out;
        for (IXMLDOMNode* n : nodes) out.push_back(n->getAttribute(name).value_or(L"-"));
        return out;
    }
    // Every node name and attribute name and value below (and of) the node.
    static void Walk(IXMLDOMNode* node, std::vector<std::wstring>& texts) {
        texts.push_back(node->nodeName());
        for (const auto& [name, value] : node->attributes()) {
            texts.push_back(name);
            texts.push_back(value);
        }
        for (IXMLDOMNode* child : node->childNodes()) Walk(child, texts);
    }

    IXMLDOMDocument doc_;
};

TEST_F(XmlDom, TextsAreDecodedAsTheDocumentDeclares) {
    struct Case {
        const char* name;
        std::string bytes;
        std::wstring expected;
    };
    const Case cases[] = {
        {"UTF-8 without a declaration", "<root a=\"\xE8\xBF\x9E\xE6\x8E\xA5\"/>", L"连接"},
        {"UTF-8 with its mark", "\xEF\xBB\xBF<?xml version=\"1.0\"?><root a=\"\xE8\xBF\x9E\"/>",
         L"连"},
        {"GB2312", "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<root a=\"\xC1\xAC\xBD\xD3\"/>",
         L"连接"},
        {"GBK", "<?xml version=\"1.0\" encoding=\"gbk\"?><root a=\"\x86\xB4\xC1\xAC\"/>", L"喆连"},
        {"UTF-16LE", Utf16(L"<?xml version=\"1.0\" encoding=\"UTF-16\"?><root a=\"连接\"/>", false),
         L"连接"},
        {"UTF-16BE", Utf16(L"<root a=\"连接\"/>", true), L"连接"},
        {"beyond the basic plane", "<root a=\"\xF0\x9F\x98\x80!\"/>", L"\U0001F600!"},
        {"references", "<root a=\"&lt;&amp;&#x4E2D;&#20013;&quot;\"/>", L"<&中中\""},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Load(c.bytes), VARIANT_TRUE) << c.name << ": " << doc_.parseError().line;
        IXMLDOMNode* root = doc_.documentElement();
        ASSERT_NE(root, nullptr) << c.name;
        EXPECT_EQ(root->getAttribute(L"a"), c.expected) << c.name;
    }
}

TEST_F(XmlDom, TheFileIsReadThroughTheMachinesFiles) {
    M().WriteFile(L"C:\\Skin\\Default\\Main.XML", "<root id=\"main\"/>");
    // Either separator, any case, as the machine's paths go.
    ASSERT_EQ(doc_.load(L"c:/skin/default\\main.xml"), VARIANT_TRUE);
    EXPECT_EQ(doc_.documentElement()->getAttribute(L"id"), L"main");
    // A file another handle holds without sharing cannot be read.
    HANDLE held = CreateFileW(L"C:\\Skin\\Default\\Main.XML", GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(doc_.load(L"C:\\Skin\\Default\\Main.XML"), VARIANT_FALSE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(doc_.parseError().errorCode, ERROR_SHARING_VIOLATION);
    CloseHandle(held);
}

TEST_F(XmlDom, AnAbsentAttributeDiffersFromAnEmptyOne) {
    ASSERT_EQ(Load("<root xmlns:s=\"urn:s\"><cell index=\"\" id=\"close\" s:k=\"v\" "
                   "text=\"  spaced  \" n\xC3\xA4me=\"x\"/></root>"),
              VARIANT_TRUE);
    IXMLDOMNode* cell = doc_.selectSingleNode(L"/root/cell");
    ASSERT_NE(cell, nullptr);
    struct Case {
        LPCWSTR name;
        std::optional<std::wstring> value;
    };
    const Case cases[] = {
        {L"index", L""},          {L"id", L"close"},           {L"ID", std::nullopt},
        {L"s:k", L"v"},           {L"k", std::nullopt},        {L"text", L"  spaced  "},
        {L"child", std::nullopt}, {L"s:kk", std::nullopt},     {L"s:", std::nullopt},
        {L"n\u00E4me", L"x"},     {L"n\u00E4m", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(cell->getAttribute(c.name), c.value) << c.name;
    using Pairs = std::vector<std::pair<std::wstring, std::wstring>>;
    EXPECT_EQ(cell->attributes(), (Pairs{{L"index", L""},
                                         {L"id", L"close"},
                                         {L"s:k", L"v"},
                                         {L"text", L"  spaced  "},
                                         {L"n\u00E4me", L"x"}}));
    // Only elements have attributes.
    EXPECT_EQ(doc_.getAttribute(L"id"), std::nullopt);
    EXPECT_TRUE(doc_.attributes().empty());
}

TEST_F(XmlDom, SelectionsComeInDocumentOrderWithOneNodePerElement) {
    ASSERT_EQ(Load("<root>\n"
                   " <docking id=\"a\"><cell index=\"00\"/><x><cell index=\"9\"/></x>"
                   "<cell index=\"01\"/></docking>\n"
                   " <other id=\"o\"/>\n"
                   " <docking id=\"b\"><docking id=\"nested\"/></docking>\n"
                   " <docking id=\"c\"/>\n"
                   "</root>"),
              VARIANT_TRUE);
    IXMLDOMNode* a = doc_.selectSingleNode(L"/root/docking");
    ASSERT_NE(a, nullptr);
    IXMLDOMNode* root = doc_.documentElement();
    struct Case {
        const char* name;
        const IXMLDOMNode* context;
        LPCWSTR path;
        LPCWSTR attribute;
        std::vector<std::wstring> expected;
    };
    const Case cases[] = {
        {"dockings from the document", &doc_, L"/root/docking", L"id", {L"a", L"b", L"c"}},
        {"dockings from a node", a, L"/root/docking", L"id", {L"a", L"b", L"c"}},
        {"relative from the root element", root, L"docking", L"id", {L"a", L"b", L"c"}},
        {"cells of a docking", a, L"cell", L"index", {L"00", L"01"}},
        {"cells below the document element", &doc_, L"cell", L"index", {}},
        {"every docking", &doc_, L"//docking", L"id", {L"a", L"b", L"nested", L"c"}},
        {"no such element", &doc_, L"/root/nothing", L"id", {}},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(Values(c.context->selectNodes(c.path), c.attribute), c.expected) << c.name;
        EXPECT_EQ(GetLastError(), 0u) << c.name;
    }
    // The same element is the same node every time.
    EXPECT_EQ(doc_.selectNodes(L"/root/docking"), root->selectNodes(L"docking"));
    EXPECT_EQ(doc_.selectSingleNode(L"/root"), root);
    EXPECT_EQ(a->selectSingleNode(L"/root/docking[2]"), root->selectNodes(L"docking")[1]);
    EXPECT_EQ(a->selectSingleNode(L"cell[9]"), nullptr);
}

TEST_F(XmlDom, ExpressionsThatSelectNoNodesAreRefused) {
    ASSERT_EQ(Load("<root><docking/></root>"), VARIANT_TRUE);
    for (LPCWSTR path : {L"count(/root/docking)", L"'text'", L"/root[", L"", L"///", L"f()",
                         static_cast<LPCWSTR>(nullptr)}) {
        SetLastError(0);
        EXPECT_TRUE(doc_.selectNodes(path).empty()) << (path ? path : L"null");
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER))
            << (path ? path : L"null");
    }
    EXPECT_EQ(doc_.selectSingleNode(L"/root["), nullptr);
}

TEST_F(XmlDom, NodesAreNamedByTheirKind) {
    ASSERT_EQ(Load("<?xml version=\"1.0\"?><!--before--><root xmlns:s=\"urn:s\" id=\"r\">text"
                   "<s:e/><![CDATA[data]]><?pi data?><!--inside--></root>"),
              VARIANT_TRUE);
    auto kinds = [](const std::vector<IXMLDOMNode*>& nodes) {
        std::vector<std::pair<std::wstring, DOMNodeType>> out;
        for (IXMLDOMNode* n : nodes) out.emplace_back(n->nodeName(), n->nodeType());
        return out;
    };
    using Kinds = std::vector<std::pair<std::wstring, DOMNodeType>>;
    EXPECT_EQ(kinds({&doc_}), (Kinds{{L"#document", NODE_DOCUMENT}}));
    EXPECT_EQ(kinds(doc_.childNodes()),
              (Kinds{{L"#comment", NODE_COMMENT}, {L"root", NODE_ELEMENT}}));
    EXPECT_EQ(kinds(doc_.documentElement()->childNodes()),
              (Kinds{{L"#text", NODE_TEXT},
                     {L"s:e", NODE_ELEMENT},
                     {L"#cdata-section", NODE_CDATA_SECTION},
                     {L"pi", NODE_PROCESSING_INSTRUCTION},
                     {L"#comment", NODE_COMMENT}}));
    EXPECT_EQ(kinds(doc_.selectNodes(L"/root/@id")), (Kinds{{L"id", NODE_ATTRIBUTE}}));
    // Namespace nodes are left out of a selection.
    EXPECT_TRUE(doc_.selectNodes(L"/root/namespace::*").empty());
}

TEST_F(XmlDom, AFailedLoadTellsWhyAndLeavesTheDocumentEmpty) {
    struct Case {
        const char* name;
        std::optional<std::string> bytes;  // nothing: no file
        DWORD lastError;
        long line;  // 0: not checked
    };
    const Case cases[] = {
        {"no file", std::nullopt, ERROR_FILE_NOT_FOUND, 0},
        {"empty file", std::string(), ERROR_INVALID_DATA, 0},
        {"unclosed element", std::string("<root>\n<docking>\n</root>"), ERROR_INVALID_DATA, 3},
        {"two root elements", std::string("<root/><root/>"), ERROR_INVALID_DATA, 1},
        {"text only", std::string("just text"), ERROR_INVALID_DATA, 1},
        {"unknown encoding",
         std::string("<?xml version=\"1.0\" encoding=\"no-such-code\"?><root/>"),
         ERROR_INVALID_DATA, 0},
        {"bytes not in the declared encoding",
         std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><root a=\"\xC1\xAC\"/>"),
         ERROR_INVALID_DATA, 1},
        {"duplicate attribute", std::string("<root a=\"1\" a=\"2\"/>"), ERROR_INVALID_DATA, 1},
        {"too large", std::string(IXMLDOMDocument::kMaxFileSize + 1, ' '), ERROR_INVALID_DATA, 0},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Load("<root><docking/></root>"), VARIANT_TRUE) << c.name;
        DeleteFileW(kPath.c_str());
        if (c.bytes) M().WriteFile(kPath, *c.bytes);
        EXPECT_EQ(doc_.load(kPath.c_str()), VARIANT_FALSE) << c.name;
        EXPECT_EQ(GetLastError(), c.lastError) << c.name;
        EXPECT_FALSE(doc_.parseError().reason.empty()) << c.name;
        EXPECT_NE(doc_.parseError().errorCode, 0) << c.name;
        if (c.line != 0) {
            EXPECT_EQ(doc_.parseError().line, c.line) << c.name;
        }
        EXPECT_EQ(doc_.documentElement(), nullptr) << c.name;
        EXPECT_TRUE(doc_.selectNodes(L"/root/docking").empty()) << c.name;
        EXPECT_TRUE(doc_.childNodes().empty()) << c.name;
    }
    // A good load after a failed one clears the error.
    ASSERT_EQ(Load("<root/>"), VARIANT_TRUE);
    EXPECT_EQ(doc_.parseError().errorCode, 0);
    EXPECT_TRUE(doc_.parseError().reason.empty());
}

TEST_F(XmlDom, NoEntityExpandsAndNoOtherFileIsRead) {
    // A real file on the machine (and on the host) that the documents name.
    const std::wstring secretPath = L"C:\\secret\\key.txt";
    M().WriteFile(secretPath, "TOP-SECRET");
    M().WriteFile(L"C:\\secret\\defs.dtd",
                  "<!ENTITY leak \"TOP-SECRET\"><!ATTLIST root given CDATA \"TOP-SECRET\">");
    const std::string uri = "file://" + M().HostPath(secretPath).string();
    const std::string dtdUri = "file://" + M().HostPath(L"C:\\secret\\defs.dtd").string();
    std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE root [<!ENTITY l0 \"ha\">";
    for (int i = 1; i <= 10; ++i) {
        laughs += "<!ENTITY l" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k) laughs += "&l" + std::to_string(i - 1) + ";";
        laughs += "\">";
    }
    laughs += "]><root a=\"&l10;\">&l10;</root>";

    struct Case {
        const char* name;
        std::string bytes;
        bool loads;
    };
    const Case cases[] = {
        {"billion laughs", laughs, false},
        {"external entity in content",
         "<!DOCTYPE root [<!ENTITY x SYSTEM \"" + uri + "\">]><root>&x;</root>", false},
        {"external entity in an attribute",
         "<!DOCTYPE root [<!ENTITY x SYSTEM \"" + uri + "\">]><root a=\"&x;\"/>", false},
        {"external parameter entity",
         "<!DOCTYPE root [<!ENTITY % p SYSTEM \"" + dtdUri + "\"> %p;]><root a=\"&leak;\"/>",
         false},
        {"internal entity", "<!DOCTYPE root [<!ENTITY e \"x\">]><root a=\"&e;\"/>", false},
        // The external definitions are never read: their entity is unknown (and contributes
        // nothing), their default attribute is absent.
        {"external definitions",
         "<!DOCTYPE root SYSTEM \"" + dtdUri + "\"><root a=\"[&leak;]\">&leak;</root>", true},
        {"inclusion",
         "<root xmlns:xi=\"http://www.w3.org/2001/XInclude\"><xi:include href=\"" + uri +
             "\" parse=\"text\"/></root>",
         true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Load(c.bytes), c.loads ? VARIANT_TRUE : VARIANT_FALSE) << c.name;
        if (!c.loads) {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA)) << c.name;
            EXPECT_NE(doc_.parseError().reason.find(L"entity"), std::wstring::npos) << c.name;
            continue;
        }
        std::vector<std::wstring> texts;
        Walk(&doc_, texts);
        for (const std::wstring& t : texts)
            EXPECT_EQ(t.find(L"SECRET"), std::wstring::npos) << c.name;
    }
    EXPECT_EQ(Load("<!DOCTYPE root SYSTEM \"" + dtdUri + "\"><root a=\"[&leak;]\"/>"),
              VARIANT_TRUE);
    EXPECT_EQ(doc_.documentElement()->getAttribute(L"a"), L"[]");
    EXPECT_EQ(doc_.documentElement()->getAttribute(L"given"), std::nullopt);
}

TEST_F(XmlDom, CallsAreTraced) {
    sim::SetTrace(sim::Facility::Xml, true);
    ASSERT_EQ(Load("<root id=\"main\"/>"), VARIANT_TRUE);
    doc_.documentElement()->getAttribute(L"id");
    doc_.documentElement()->getAttribute(L"none");
    sim::SetTrace(sim::Facility::Xml, false);
    EXPECT_EQ(DebugLines(L"[trace] xml: load(\"C:\\skin\\default\\Layout.xml\") -> -1").size(), 1u);
    EXPECT_EQ(DebugLines(L"[trace] xml: getAttribute(\"id\") -> \"main\"").size(), 1u);
    EXPECT_EQ(DebugLines(L"[trace] xml: getAttribute(\"none\") -> none").size(), 1u);
    // Calls made inside a traced call are not logged again.
    EXPECT_TRUE(DebugLines(L"[trace] xml: loadBytes").empty());
}

}  // namespace
