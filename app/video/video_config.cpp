#include "app/video/video_config.h"

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

// A small XML reader: enough for the configuration strings (elements,
// attributes, entities, comments, the prolog) and strict about everything
// else, so that a malformed string is rejected instead of half-understood.

namespace {

constexpr int kMaxDepth = 32;

struct XmlElement {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::vector<XmlElement> children;
};

struct Reader {
    const char* p;
    std::string error;

    bool fail(const std::string& why) {
        if (error.empty()) error = why;
        return false;
    }
};

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool isNameStart(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || u >= 0x80;
}

bool isNameChar(char c) {
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

void skipSpace(Reader& r) {
    while (isSpace(*r.p)) ++r.p;
}

bool startsWith(const Reader& r, const char* s) { return std::strncmp(r.p, s, std::strlen(s)) == 0; }

bool skipPast(Reader& r, const char* terminator, const char* what) {
    const char* end = std::strstr(r.p, terminator);
    if (end == nullptr) return r.fail(std::string("unterminated ") + what);
    r.p = end + std::strlen(terminator);
    return true;
}

// Skips white space, comments and processing instructions (the prolog).
bool skipMisc(Reader& r) {
    for (;;) {
        skipSpace(r);
        if (startsWith(r, "<!--")) {
            r.p += 4;
            if (!skipPast(r, "-->", "comment")) return false;
        } else if (startsWith(r, "<?")) {
            r.p += 2;
            if (!skipPast(r, "?>", "processing instruction")) return false;
        } else {
            return true;
        }
    }
}

bool readName(Reader& r, std::string* name) {
    if (!isNameStart(*r.p)) return r.fail("expected a name");
    const char* start = r.p;
    while (isNameChar(*r.p)) ++r.p;
    name->assign(start, r.p);
    return true;
}

void appendUtf8(std::uint32_t cp, std::string* out) {
    if (cp < 0x80) {
        out->push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

int digitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    return v < base ? v : -1;
}

bool isXmlChar(std::uint32_t cp) {
    if (cp == 0x9 || cp == 0xA || cp == 0xD) return true;
    if (cp < 0x20 || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    return cp != 0xFFFE && cp != 0xFFFF && cp <= 0x10FFFF;
}

// `body` is the text between '&#' and ';'.
bool decodeCharReference(Reader& r, const std::string& body, std::string* out) {
    int base = 10;
    std::size_t i = 0;
    if (!body.empty() && body[0] == 'x') { base = 16; i = 1; }
    if (i == body.size()) return r.fail("empty character reference");
    std::uint32_t cp = 0;
    for (; i < body.size(); ++i) {
        int d = digitValue(body[i], base);
        if (d < 0) return r.fail("bad character reference &#" + body + ";");
        cp = cp * base + d;
        if (cp > 0x10FFFF) return r.fail("character reference out of range");
    }
    if (!isXmlChar(cp)) return r.fail("character reference to a forbidden character");
    appendUtf8(cp, out);
    return true;
}

bool decodeEntity(Reader& r, std::string* out) {
    ++r.p;  // '&'
    const char* semi = std::strchr(r.p, ';');
    if (semi == nullptr || semi - r.p > 16) return r.fail("unterminated entity");
    std::string body(r.p, semi);
    r.p = semi + 1;
    static const std::pair<const char*, char> named[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto& [entity, ch] : named) {
        if (body == entity) { out->push_back(ch); return true; }
    }
    if (!body.empty() && body[0] == '#') return decodeCharReference(r, body.substr(1), out);
    return r.fail("unknown entity &" + body + ";");
}

bool readAttributeValue(Reader& r, std::string* value) {
    char quote = *r.p;
    if (quote != '"' && quote != '\'') return r.fail("attribute value without quotes");
    ++r.p;
    while (*r.p != quote) {
        if (*r.p == '\0') return r.fail("unterminated attribute value");
        if (*r.p == '<') return r.fail("'<' inside an attribute value");
        if (*r.p == '&') {
            if (!decodeEntity(r, value)) return false;
        } else {
            value->push_back(*r.p++);
        }
    }
    ++r.p;
    return true;
}

bool hasAttribute(const XmlElement& e, const std::string& name) {
    for (const auto& a : e.attributes) {
        if (a.first == name) return true;
    }
    return false;
}

bool readAttribute(Reader& r, XmlElement* e) {
    std::string name, value;
    if (!readName(r, &name)) return false;
    skipSpace(r);
    if (*r.p != '=') return r.fail("attribute " + name + " without a value");
    ++r.p;
    skipSpace(r);
    if (!readAttributeValue(r, &value)) return false;
    if (hasAttribute(*e, name)) return r.fail("duplicate attribute " + name);
    e->attributes.emplace_back(std::move(name), std::move(value));
    return true;
}

// Reads attributes up to '>' or '/>'; sets *empty for the latter.
bool readStartTagRest(Reader& r, XmlElement* e, bool* empty) {
    for (;;) {
        bool spaced = isSpace(*r.p);
        skipSpace(r);
        if (*r.p == '>') { ++r.p; *empty = false; return true; }
        if (r.p[0] == '/' && r.p[1] == '>') { r.p += 2; *empty = true; return true; }
        if (*r.p == '\0') return r.fail("unterminated tag <" + e->name);
        if (!spaced) return r.fail("malformed tag <" + e->name);
        if (!readAttribute(r, e)) return false;
    }
}

bool readElement(Reader& r, XmlElement* e, int depth);

bool readEndTag(Reader& r, const XmlElement& e) {
    r.p += 2;  // "</"
    std::string name;
    if (!readName(r, &name)) return false;
    skipSpace(r);
    if (*r.p != '>') return r.fail("malformed end tag </" + name);
    ++r.p;
    if (name != e.name) return r.fail("</" + name + "> does not close <" + e.name + ">");
    return true;
}

bool readContent(Reader& r, XmlElement* e, int depth) {
    for (;;) {
        if (*r.p == '\0') return r.fail("element <" + e->name + "> is not closed");
        if (startsWith(r, "</")) return readEndTag(r, *e);
        if (startsWith(r, "<!--")) {
            r.p += 4;
            if (!skipPast(r, "-->", "comment")) return false;
        } else if (*r.p == '<') {
            e->children.emplace_back();
            if (!readElement(r, &e->children.back(), depth + 1)) return false;
        } else {
            ++r.p;  // character data carries no meaning here
        }
    }
}

bool readElement(Reader& r, XmlElement* e, int depth) {
    if (depth > kMaxDepth) return r.fail("elements nested too deeply");
    if (*r.p != '<') return r.fail("expected an element");
    ++r.p;
    if (!readName(r, &e->name)) return false;
    bool empty = false;
    if (!readStartTagRest(r, e, &empty)) return false;
    return empty || readContent(r, e, depth);
}

bool readDocument(Reader& r, XmlElement* root) {
    if (startsWith(r, "\xEF\xBB\xBF")) r.p += 3;
    if (!skipMisc(r) || !readElement(r, root, 0) || !skipMisc(r)) return false;
    if (*r.p != '\0') return r.fail("text after the root element");
    return true;
}

const std::string* findAttribute(const XmlElement& e, const char* name) {
    for (const auto& a : e.attributes) {
        if (a.first == name) return &a.second;
    }
    return nullptr;
}

bool readLoopFlag(const XmlElement& e, bool* loop, std::string* error) {
    const std::string* v = findAttribute(e, "loop_avi");
    if (v == nullptr || *v == "true" || *v == "1") { *loop = true; return true; }
    if (*v == "false" || *v == "0") { *loop = false; return true; }
    *error = "loop_avi must be true or false, not \"" + *v + "\"";
    return false;
}

int interpretFileSource(const XmlElement& e, VideoConfig* config, std::string* error) {
    const std::string* name = findAttribute(e, "file_name");
    if (name == nullptr || name->empty()) {
        *error = "<avi_file> has no file_name";
        return -1;
    }
    if (!readLoopFlag(e, &config->loop, error)) return -1;
    config->kind = VideoSourceKind::File;
    config->fileName = *name;
    return 0;
}

int interpretRoot(const XmlElement& root, VideoConfig* config, std::string* error) {
    if (root.name != "video_input") {
        *error = "root element is <" + root.name + ">, expected <video_input>";
        return -1;
    }
    const XmlElement* source = nullptr;
    for (const XmlElement& child : root.children) {
        if (child.name != "camera" && child.name != "avi_file") continue;
        if (source != nullptr) {
            *error = "more than one video source in <video_input>";
            return -1;
        }
        source = &child;
    }
    if (source == nullptr) {
        *error = "<video_input> holds neither <camera> nor <avi_file>";
        return -1;
    }
    if (source->name == "avi_file") return interpretFileSource(*source, config, error);
    config->kind = VideoSourceKind::Camera;
    return 0;
}

}  // namespace

int parseVideoConfig(const char* text, VideoConfig* config, std::string* error) {
    std::string ignored;
    if (error == nullptr) error = &ignored;
    error->clear();
    if (text == nullptr || config == nullptr) {
        *error = "no configuration given";
        return -1;
    }
    *config = VideoConfig{};
    Reader r{text, {}};
    XmlElement root;
    if (!readDocument(r, &root)) {
        *error = "malformed video configuration: " + r.error;
        return -1;
    }
    VideoConfig parsed;
    if (interpretRoot(root, &parsed, error) != 0) return -1;
    *config = std::move(parsed);
    return 0;
}
