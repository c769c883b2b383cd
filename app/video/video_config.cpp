#include "app/video/video_config.h"

#include <pugixml.hpp>

#include <cstring>
#include <utility>

// The configuration text is read by pugixml; this file decides what the
// elements mean. Anything that leaves the source in doubt (two root
// elements, two sources, an attribute given twice) is refused rather than
// half-understood.

namespace {

bool isElement(const pugi::xml_node& node) { return node.type() == pugi::node_element; }

bool fail(std::string* error, const std::string& why) {
    *error = why;
    return false;
}

bool readXml(const char* text, pugi::xml_document& document, std::string* error) {
    const pugi::xml_parse_result result = document.load_string(text);
    if (!result)
        return fail(error, "malformed video configuration: " + std::string(result.description()) + " at offset " +
                               std::to_string(result.offset));
    int roots = 0;
    for (const pugi::xml_node& node : document.children()) roots += isElement(node);
    if (roots > 1) return fail(error, "malformed video configuration: more than one root element");
    return true;
}

// The attribute, or null when it is missing; false when it is given twice.
bool findAttribute(const pugi::xml_node& element, const char* name, pugi::xml_attribute* found, std::string* error) {
    *found = pugi::xml_attribute();
    for (const pugi::xml_attribute& attribute : element.attributes()) {
        if (std::strcmp(attribute.name(), name) != 0) continue;
        if (*found) return fail(error, std::string(name) + " is given twice in <" + element.name() + ">");
        *found = attribute;
    }
    return true;
}

bool readLoopFlag(const pugi::xml_node& source, bool* loop, std::string* error) {
    pugi::xml_attribute flag;
    if (!findAttribute(source, "loop_avi", &flag, error)) return false;
    const std::string value = flag ? flag.value() : "true";
    if (value == "true" || value == "1") *loop = true;
    else if (value == "false" || value == "0") *loop = false;
    else return fail(error, "loop_avi must be true or false, not \"" + value + "\"");
    return true;
}

bool readFileSource(const pugi::xml_node& source, VideoConfig* config, std::string* error) {
    pugi::xml_attribute name;
    if (!findAttribute(source, "file_name", &name, error)) return false;
    if (!name || *name.value() == '\0') return fail(error, "<avi_file> has no file_name");
    if (!readLoopFlag(source, &config->loop, error)) return false;
    config->kind = VideoSourceKind::File;
    config->fileName = name.value();
    return true;
}

bool findSource(const pugi::xml_node& root, pugi::xml_node* source, std::string* error) {
    for (const pugi::xml_node& child : root.children()) {
        const std::string name = child.name();
        if (!isElement(child) || (name != "camera" && name != "avi_file")) continue;
        if (*source) return fail(error, "more than one video source in <video_input>");
        *source = child;
    }
    if (!*source) return fail(error, "<video_input> holds neither <camera> nor <avi_file>");
    return true;
}

bool interpret(const pugi::xml_document& document, VideoConfig* config, std::string* error) {
    const pugi::xml_node root = document.document_element();
    if (std::strcmp(root.name(), "video_input") != 0)
        return fail(error, "root element is <" + std::string(root.name()) + ">, expected <video_input>");
    pugi::xml_node source;
    if (!findSource(root, &source, error)) return false;
    if (std::strcmp(source.name(), "avi_file") == 0) return readFileSource(source, config, error);
    config->kind = VideoSourceKind::Camera;
    return true;
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
    pugi::xml_document document;
    VideoConfig parsed;
    if (!readXml(text, document, error) || !interpret(document, &parsed, error)) return -1;
    *config = std::move(parsed);
    return 0;
}
