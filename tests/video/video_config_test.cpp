#include "app/video/video_config.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char* kProlog = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
const char* kPixelFormat = "<pixel_format><RGB32 flip_h=\"false\" flip_v=\"true\"/></pixel_format>";

std::string fileForm(const std::string& attributeValue) {
    return std::string(kProlog) + "<video_input><avi_file file_name=\"" + attributeValue +
           "\" loop_avi=\"true\">" + kPixelFormat + "</avi_file></video_input>";
}

std::string cameraForm() {
    return std::string(kProlog) +
           "<video_input><camera show_format_dialog=\"true\" friendly_name=\"default\">" + kPixelFormat +
           "</camera></video_input>";
}

VideoConfig parseOk(const std::string& text) {
    VideoConfig config;
    std::string error;
    EXPECT_EQ(parseVideoConfig(text.c_str(), &config, &error), 0) << error << "\n" << text;
    EXPECT_TRUE(error.empty());
    return config;
}

std::string decodedName(const std::string& attributeValue) { return parseOk(fileForm(attributeValue)).fileName; }

// A rejected text yields -1, a reason, and an untouched (empty) configuration.
void expectRejected(const std::string& text) {
    VideoConfig config;
    config.kind = VideoSourceKind::File;
    config.fileName = "stale";
    std::string error;
    EXPECT_EQ(parseVideoConfig(text.c_str(), &config, &error), -1) << text;
    EXPECT_FALSE(error.empty()) << text;
    EXPECT_EQ(error.find('\n'), std::string::npos) << "cause must fit on one line";
    EXPECT_EQ(config.kind, VideoSourceKind::None) << text;
    EXPECT_TRUE(config.fileName.empty()) << text;
}

}  // namespace

TEST(VideoConfigForms, TheGamesTwoFormsSelectCameraAndFile) {
    EXPECT_EQ(parseOk(cameraForm()).kind, VideoSourceKind::Camera);
    VideoConfig file = parseOk(fileForm("Data/clip.avi"));
    EXPECT_EQ(file.kind, VideoSourceKind::File);
    EXPECT_EQ(file.fileName, "Data/clip.avi");
    EXPECT_TRUE(file.loop);
}

TEST(VideoConfigForms, FormIsChosenByElementsNotByText) {
    // Words that look like the other form inside names, values and comments do not count.
    EXPECT_EQ(parseOk(fileForm("camera.avi")).kind, VideoSourceKind::File);
    EXPECT_EQ(parseOk(fileForm("&lt;camera&gt;.avi")).fileName, "<camera>.avi");
    EXPECT_EQ(parseOk("<video_input><!-- <camera/> --><avi_file file_name='x.avi'/></video_input>").kind,
              VideoSourceKind::File);
    EXPECT_EQ(parseOk("<video_input><!-- <avi_file file_name='x'/> --><camera/></video_input>").kind,
              VideoSourceKind::Camera);
}

TEST(VideoConfigForms, TolerantOfHarmlessXmlVariations) {
    EXPECT_EQ(parseOk("<video_input><camera/></video_input>").kind, VideoSourceKind::Camera);
    EXPECT_EQ(parseOk("\xEF\xBB\xBF <video_input >\n <camera\tfriendly_name = 'default' ></camera>\n"
                      "</video_input>\n")
                  .kind,
              VideoSourceKind::Camera);
    EXPECT_EQ(parseOk("<video_input><avi_file file_name='it\"s.avi'/></video_input>").fileName, "it\"s.avi");
}

TEST(VideoConfigForms, LoopFlag) {
    EXPECT_FALSE(parseOk("<video_input><avi_file file_name='a' loop_avi='false'/></video_input>").loop);
    EXPECT_TRUE(parseOk("<video_input><avi_file file_name='a'/></video_input>").loop);
    expectRejected("<video_input><avi_file file_name='a' loop_avi='sometimes'/></video_input>");
}

TEST(VideoConfigEntities, NamedEntitiesAreDecoded) {
    EXPECT_EQ(decodedName("a&amp;b"), "a&b");
    EXPECT_EQ(decodedName("&quot;q&quot; &apos;s&apos; &lt;&gt;"), "\"q\" 's' <>");
    EXPECT_EQ(decodedName("&amp;amp;"), "&amp;") << "decoded once, not twice";
}

TEST(VideoConfigEntities, CharacterReferencesBecomeUtf8) {
    EXPECT_EQ(decodedName("&#65;&#x42;&#x63;"), "ABc");
    EXPECT_EQ(decodedName("caf&#xE9;"), "caf\xC3\xA9");
    EXPECT_EQ(decodedName("&#x20AC;"), "\xE2\x82\xAC");
    EXPECT_EQ(decodedName("&#128512;"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(decodedName("C:\\clips\\a b.avi"), "C:\\clips\\a b.avi");
}

TEST(VideoConfigEntities, BadReferencesAreRejected) {
    for (const char* value : {"a&b", "&unknown;", "&amp", "&#;", "&#x;", "&#12a;", "&#xG1;", "&#0;", "&#x1F;",
                              "&#xD800;", "&#x110000;", "&#99999999999999999999;", "&#xFFFE;"}) {
        expectRejected(fileForm(value));
    }
}

TEST(VideoConfigMalformed, StructuralFaultsAreRejected) {
    const char* texts[] = {
        "",
        "   ",
        "not xml at all",
        "<?xml version=\"1.0\"?>",
        "<video_input>",
        "<video_input><camera></video_input>",
        "<video_input><camera/></video_output>",
        "<video_input><camera/></video_input>trailing",
        "<video_input><camera/></video_input><video_input/>",
        "<video_input><avi_file file_name=\"x.avi/></video_input>",
        "<video_input><avi_file file_name=x.avi/></video_input>",
        "<video_input><avi_file file_name/></video_input>",
        "<video_input><avi_file file_name=\"a<b\"/></video_input>",
        "<video_input><avi_file file_name='a'file_name='b'/></video_input>",
        "<video_input><avi_file file_name='a' file_name='b'/></video_input>",
        "<video_input><!-- unterminated <camera/></video_input>",
        "<?xml version=\"1.0\"<video_input><camera/></video_input>",
        "<video_input><1camera/></video_input>",
    };
    for (const char* text : texts) expectRejected(text);
}

TEST(VideoConfigMalformed, WellFormedButMeaninglessIsRejected) {
    expectRejected("<camera/>");
    expectRejected("<video_input/>");
    expectRejected("<video_input><pixel_format/></video_input>");
    expectRejected("<video_input><camera/><avi_file file_name='x'/></video_input>");
    expectRejected("<video_input><avi_file/></video_input>");
    expectRejected("<video_input><avi_file file_name=''/></video_input>");
}

TEST(VideoConfigMalformed, DeepNestingAndLongInputStaySafe) {
    std::string deep = "<video_input>";
    for (int i = 0; i < 10000; ++i) deep += "<a>";
    expectRejected(deep);

    std::string longName(5000, 'n');
    EXPECT_EQ(decodedName(longName), longName);
    EXPECT_EQ(parseVideoConfig(nullptr, nullptr, nullptr), -1);
    VideoConfig config;
    EXPECT_EQ(parseVideoConfig(nullptr, &config, nullptr), -1);
}
