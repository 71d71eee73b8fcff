// The default skin under assets/skin/default: every layout names only pictures that the folder
// holds, carries the cell ids and control names the program looks for, and the pictures whose
// geometry the program relies on have it. The files are read with a small attribute scan (tag
// name and name="value" pairs), which is all these checks need.

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The reference pictures' folder is tests/golden; the skin lies in assets/ beside tests/.
const std::string kSkin = std::string(MODEM_GOLDEN_DIR) + "/../../assets/skin/default/";

const std::vector<std::string> kLayouts = {"QOBUIDialog.xml", "NetConnectDialog.xml",
                                           "SettingDlg.xml", "DialSettingDlg.xml",
                                           "OptionSettingDlg.xml"};

struct Element {
    std::string tag;
    std::map<std::string, std::string> attributes;
    std::string Get(const std::string& name) const {
        auto it = attributes.find(name);
        return it == attributes.end() ? std::string{} : it->second;
    }
    bool Has(const std::string& name) const { return attributes.count(name) != 0; }
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The start tags of a file, in order (comments, declarations and end tags skipped).
std::vector<Element> ScanElements(const std::string& text) {
    std::vector<Element> out;
    size_t i = 0;
    while ((i = text.find('<', i)) != std::string::npos) {
        if (text.compare(i, 4, "<!--") == 0) {
            i = text.find("-->", i);
            if (i == std::string::npos) break;
            continue;
        }
        size_t end = text.find('>', i);
        if (end == std::string::npos) break;
        std::string tag = text.substr(i + 1, end - i - 1);
        i = end;
        if (tag.empty() || tag[0] == '?' || tag[0] == '/' || tag[0] == '!') continue;
        Element e;
        size_t p = tag.find_first_of(" \t\r\n/");
        e.tag = tag.substr(0, p);
        while (p != std::string::npos && p < tag.size()) {
            size_t eq = tag.find('=', p);
            if (eq == std::string::npos) break;
            size_t nameStart = tag.find_first_not_of(" \t\r\n", p);
            std::string name = tag.substr(nameStart, eq - nameStart);
            size_t q1 = tag.find('"', eq);
            size_t q2 = tag.find('"', q1 + 1);
            if (q1 == std::string::npos || q2 == std::string::npos) break;
            e.attributes[name] = tag.substr(q1 + 1, q2 - q1 - 1);
            p = q2 + 1;
        }
        out.push_back(e);
    }
    return out;
}

std::vector<Element> Layout(const std::string& file) {
    return ScanElements(ReadFile(kSkin + file));
}

// The value of "key:" in a style text, up to ';', ')' or the end.
std::vector<std::string> ValuesOf(const std::string& style, const std::string& key) {
    std::vector<std::string> out;
    size_t i = 0;
    while ((i = style.find(key + ":", i)) != std::string::npos) {
        bool starts = i == 0 || style[i - 1] == ';' || style[i - 1] == '(';
        i += key.size() + 1;
        if (!starts) continue;
        size_t end = style.find_first_of(";)", i);
        out.push_back(style.substr(i, end == std::string::npos ? std::string::npos : end - i));
    }
    return out;
}

// Every picture an element names: its background and the backgrounds of its button states.
std::vector<std::string> ImagesOf(const Element& e) {
    std::vector<std::string> out;
    for (const char* name :
         {"background", "normal", "hover", "checkhover", "active", "check", "disable", "hide"}) {
        if (!e.Has(name)) continue;
        std::string value = e.Get(name);
        if (std::string(name) == "background" && value.find(':') == std::string::npos &&
            !value.empty()) {
            out.push_back(value);
            continue;
        }
        for (const std::string& image : ValuesOf(value, "image")) out.push_back(image);
    }
    return out;
}

struct PngSize {
    bool valid = false;
    uint32_t width = 0, height = 0;
};

PngSize ReadPngSize(const std::string& path) {
    std::string bytes = ReadFile(path);
    PngSize size;
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
        bytes.compare(12, 4, "IHDR") != 0)
        return size;
    auto be32 = [&](size_t at) {
        uint32_t v = 0;
        for (size_t k = 0; k < 4; ++k) v = v << 8 | static_cast<unsigned char>(bytes[at + k]);
        return v;
    };
    size.valid = true;
    size.width = be32(16);
    size.height = be32(20);
    return size;
}

const Element* CellWithId(const std::vector<Element>& elements, const std::string& id) {
    for (const Element& e : elements)
        if (e.tag == "cell" && e.Get("id") == id) return &e;
    return nullptr;
}

std::set<std::string> HandleNames(const std::vector<Element>& elements) {
    std::set<std::string> out;
    for (const Element& e : elements) {
        if (e.tag != "cell" || !e.Has("handle")) continue;
        std::string handle = e.Get("handle");
        std::vector<std::string> ids = ValuesOf(handle, "id");
        out.insert(ids.empty() ? handle : ids.front());
    }
    return out;
}

TEST(DefaultSkin, EveryPictureALayoutNamesIsAPngInTheSkinFolder) {
    for (const std::string& file : kLayouts) {
        std::vector<Element> elements = Layout(file);
        ASSERT_FALSE(elements.empty()) << file;
        EXPECT_EQ(elements.front().tag, "root") << file;
        size_t named = 0;
        for (const Element& e : elements) {
            for (const std::string& image : ImagesOf(e)) {
                ++named;
                PngSize size = ReadPngSize(kSkin + image);
                EXPECT_TRUE(size.valid) << file << " names " << image;
                EXPECT_GT(size.width, 0u) << image;
                EXPECT_GT(size.height, 0u) << image;
            }
        }
        EXPECT_GT(named, 0u) << file;
    }
}

TEST(DefaultSkin, LayoutsCarryTheCellsAndControlsTheProgramUses) {
    struct Case {
        std::string file;
        std::vector<std::string> cellIds;
        std::vector<std::string> controls;
    };
    const std::vector<Case> cases = {
        {"QOBUIDialog.xml",
         {"titleText", "leftBorder", "rightBorder", "topBorder", "topLeftBorder", "topRightBorder",
          "bottomBorder", "bottomLeftBorder", "bottomRightBorder"},
         {"IDC_BUTTON_SKIN", "IDC_BUTTON_MAX", "IDC_BUTTON_MIN", "IDC_BUTTON_CLOSE",
          "IDC_BUTTON_START", "IDC_STATUSBAR_UIM", "IDC_STATUSBAR_SMS", "IDC_STATUSBAR_ROAM",
          "IDC_STATUSBAR_CALL", "IDC_STATUSBAR_NET", "IDC_STATUSBAR_EVDO", "IDC_STATUSBAR_SIGNAL",
          "IDC_STATUSBAR_TIME"}},
        {"NetConnectDialog.xml",
         {"connectSettingCell", "connectStatusCell", "connectContent", "connectTitle",
          "connectMessage"},
         {"IDC_BTN_CONNECT", "IDS_CONNECT", "IDC_NetInfo"}},
        {"SettingDlg.xml", {}, {"IDC_DialSetting", "IDC_OptionSetting"}},
        {"DialSettingDlg.xml",
         {},
         {"IDC_NUMTEXT", "IDC_USERNAMETEXT", "IDC_PASSWORDTEXT", "IDC_SETTING_NUMEDIT",
          "IDC_NAMEEDIT", "IDC_PASSWORDEDIT", "IDC_CHAPCHECK"}},
        {"OptionSettingDlg.xml",
         {},
         {"IDC_DNSCHECKTEXT", "IDC_DNSTEXT", "IDC_DNSTEXT1", "IDC_DNSIPADDRESS",
          "IDC_DNSIPADDRESS1", "IDC_IPCHECK", "IDC_IPADDRESS", "IDC_ConnStartUp", "IDC_ReDial"}},
    };
    for (const Case& c : cases) {
        std::vector<Element> elements = Layout(c.file);
        for (const std::string& id : c.cellIds)
            EXPECT_NE(CellWithId(elements, id), nullptr) << c.file << " lacks cell " << id;
        std::set<std::string> handles = HandleNames(elements);
        for (const std::string& control : c.controls)
            EXPECT_EQ(handles.count(control), 1u) << c.file << " lacks control " << control;
    }
}

// Ids are looked up process-wide, so one id in two layouts would make anchors and the status
// window's cells ambiguous; "child" must name a docking of the same file and every anchor a cell
// of another layout.
TEST(DefaultSkin, IdsAreUniqueAndReferencesResolve) {
    std::map<std::string, std::string> cellIds;  // id -> file
    std::map<std::string, std::string> anchors;  // file -> anchor
    for (const std::string& file : kLayouts) {
        std::vector<Element> elements = Layout(file);
        std::set<std::string> dockings, ids;
        for (const Element& e : elements) {
            std::string id = e.Get("id");
            if (!id.empty()) {
                EXPECT_TRUE(ids.insert(id).second) << file << " repeats id " << id;
                if (e.tag == "docking") dockings.insert(id);
                if (e.tag == "cell") cellIds[id] = file;
            }
            if (e.tag == "docking" && e.Has("anchor")) anchors[file] = e.Get("anchor");
        }
        for (const Element& e : elements) {
            if (e.tag == "cell" && e.Has("child")) {
                EXPECT_EQ(dockings.count(e.Get("child")), 1u) << file << ": " << e.Get("child");
            }
        }
    }
    std::map<std::string, int> seen;
    for (const std::string& file : kLayouts) {
        for (const Element& e : Layout(file)) {
            if (!e.Get("id").empty()) ++seen[e.Get("id")];
        }
    }
    for (const auto& [id, count] : seen) EXPECT_EQ(count, 1) << id << " is in several layouts";
    ASSERT_EQ(anchors.size(), 4u) << "every dialog but the main window is shown in a cell";
    for (const auto& [file, anchor] : anchors) {
        ASSERT_EQ(cellIds.count(anchor), 1u) << file << " anchors to missing cell " << anchor;
        EXPECT_NE(cellIds[anchor], file) << file << " anchors into itself";
    }
}

TEST(DefaultSkin, StatusStripHasSevenFramesAsWideAsTheGraph) {
    std::vector<Element> elements = Layout("NetConnectDialog.xml");
    const Element* content = CellWithId(elements, "connectContent");
    ASSERT_NE(content, nullptr);
    std::vector<std::string> images = ImagesOf(*content);
    ASSERT_EQ(images.size(), 1u);
    std::vector<std::string> x = ValuesOf(content->Get("background"), "x");
    ASSERT_EQ(x.size(), 1u);
    EXPECT_EQ(x.front(), "4") << "frames line up with the graph, drawn 4 pixels in";
    // The content cell's column width is set on the cell above it.
    const Element* title = CellWithId(elements, "connectTitle");
    ASSERT_NE(title, nullptr);
    int columnWidth = std::stoi(title->Get("width"));
    EXPECT_EQ(content->Get("height"), "108");
    PngSize strip = ReadPngSize(kSkin + images.front());
    ASSERT_TRUE(strip.valid);
    EXPECT_EQ(strip.height, 7u * 108u);
    EXPECT_EQ(strip.width, static_cast<uint32_t>(columnWidth - 8));
}

TEST(DefaultSkin, MaximiseButtonPicturesHoldBothGlyphs) {
    std::vector<Element> elements = Layout("QOBUIDialog.xml");
    const Element* cell = CellWithId(elements, "maxButtonCell");
    ASSERT_NE(cell, nullptr);
    std::vector<std::string> images = ImagesOf(*cell);
    ASSERT_FALSE(images.empty());
    for (const std::string& image : images)
        EXPECT_EQ(ReadPngSize(kSkin + image).height, 2u * 19u) << image;
    // The caption row that holds the button is 19 high, so one glyph shows at a time.
    const Element* row = CellWithId(elements, "minButtonCell");
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->Get("height"), "19");
}

TEST(DefaultSkin, NoWindowIsLayeredWithAColourKey) {
    for (const std::string& file : kLayouts) {
        for (const Element& e : Layout(file)) {
            if (e.tag != "docking" || !e.Has("window")) continue;
            std::string window = e.Get("window");
            bool layered = window.find("layouted") != std::string::npos;
            bool masked = !ValuesOf(window, "mask").empty();
            EXPECT_FALSE(layered && masked) << file;
        }
    }
}

}  // namespace
