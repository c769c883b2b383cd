#include "app/video/video_config.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char* kProlog = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
const char* kPixelFormat = "<pixel_format><RGB32 flip_h=\"false\" flip_v=\"true\"/></pixel_format>";

// The file form exactly as a scene's VIDEO line makes it.
std::string fileForm(const std::string& videoValue) {
    return std::string(kProlog) + "<video_input><avi_file file_name=\"" + videoValue + "\" loop_avi=\"true\">" +
           kPixelFormat + "</avi_file></video_input>";
}

std::string cameraForm() {
    return std::string(kProlog) + "<video_input><camera show_format_dialog=\"true\" friendly_name=\"default\">" +
           kPixelFormat + "</camera></video_input>";
}

std::string nested(const std::string& inside, int depth, bool closed) {
    std::string text = "<video_input>" + inside;
    for (int i = 0; i < depth; ++i) text += "<a>";
    for (int i = 0; closed && i < depth; ++i) text += "</a>";
    return text + "</video_input>";
}

TEST(VideoConfig, ReadsTheSourceTheFileNameAndTheLoopFlag) {
    const std::string longName(5000, 'n');
    const struct {
        std::string text;
        VideoSourceKind kind;
        std::string fileName;
        bool loop;
    } cases[] = {
        {cameraForm(), VideoSourceKind::Camera, "", true},
        {fileForm("Data/clip.avi"), VideoSourceKind::File, "Data/clip.avi", true},
        {fileForm("camera.avi"), VideoSourceKind::File, "camera.avi", true},
        {fileForm("C:\\clips\\a b.avi"), VideoSourceKind::File, "C:\\clips\\a b.avi", true},
        {fileForm("&lt;camera&gt; &amp;&#65;&#x20AC;.avi"), VideoSourceKind::File, "<camera> &A\xE2\x82\xAC.avi", true},
        {fileForm("Tom&Jerry.avi"), VideoSourceKind::File, "Tom&Jerry.avi", true},  // not an entity: kept
        {fileForm(longName), VideoSourceKind::File, longName, true},
        {"<video_input><avi_file file_name='a' loop_avi='false'/></video_input>", VideoSourceKind::File, "a", false},
        {"<video_input><avi_file file_name='a' loop_avi='0'/></video_input>", VideoSourceKind::File, "a", false},
        {"<video_input><avi_file file_name='it\"s.avi'/></video_input>", VideoSourceKind::File, "it\"s.avi", true},
        {"<video_input><!-- <camera/> --><avi_file file_name='x'/></video_input>", VideoSourceKind::File, "x", true},
        {"<video_input><![CDATA[<camera/>]]><avi_file file_name='x'/></video_input>", VideoSourceKind::File, "x",
         true},
        {"\xEF\xBB\xBF <video_input >\n <camera\tfriendly_name = 'default' ></camera>\n</video_input>\n",
         VideoSourceKind::Camera, "", true},
        {nested("<camera/>", 100000, true), VideoSourceKind::Camera, "", true},
    };
    for (const auto& c : cases) {
        VideoConfig config;
        std::string error = "stale";
        ASSERT_EQ(parseVideoConfig(c.text.c_str(), &config, &error), 0) << error << "\n" << c.text.substr(0, 200);
        EXPECT_EQ(error, "");
        EXPECT_EQ(config.kind, c.kind) << c.text.substr(0, 200);
        EXPECT_EQ(config.fileName, c.fileName);
        EXPECT_EQ(config.loop, c.loop) << c.text;
    }
}

// A refused text yields -1, a one-line reason naming the fault, and an empty configuration.
TEST(VideoConfig, RefusesWhatLeavesTheSourceInDoubtAndSaysWhy) {
    const struct {
        std::string text;
        std::string reason;
    } cases[] = {
        {"", "No document element"},
        {"not xml at all", "No document element"},
        {"<video_input><camera></video_input>", "Start-end tags mismatch"},
        {"<video_input><!-- unterminated <camera/></video_input>", "comment"},
        {"<video_input><avi_file file_name=x.avi/></video_input>", "attribute at offset 33"},
        {"<video_input><avi_file file_name='a'loop_avi='false'/></video_input>", "attribute at offset 36"},
        {"<video_input><avi_file file_name='a' file_name='b'/></video_input>", "file_name is given twice"},
        {"<video_input><camera/></video_input><video_input/>", "more than one root element"},
        {nested("<camera/>", 10000, false), "Start-end tags mismatch"},
        {"<camera/>", "root element is <camera>"},
        {"<video_input><pixel_format/></video_input>", "neither <camera> nor <avi_file>"},
        {"<video_input><camera/><avi_file file_name='x'/></video_input>", "more than one video source"},
        {"<video_input><avi_file/></video_input>", "<avi_file> has no file_name"},
        {"<video_input><avi_file file_name=''/></video_input>", "<avi_file> has no file_name"},
        {"<video_input><avi_file file_name='a' loop_avi='sometimes'/></video_input>", "loop_avi must be true or false"},
    };
    for (const auto& c : cases) {
        VideoConfig config;
        config.kind = VideoSourceKind::File;
        config.fileName = "stale";
        std::string error;
        EXPECT_EQ(parseVideoConfig(c.text.c_str(), &config, &error), -1) << c.text.substr(0, 200);
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_EQ(config.kind, VideoSourceKind::None);
        EXPECT_EQ(config.fileName, "");
    }
    VideoConfig config;
    EXPECT_EQ(parseVideoConfig(nullptr, &config, nullptr), -1);
    EXPECT_EQ(parseVideoConfig(cameraForm().c_str(), nullptr, nullptr), -1);
}

}  // namespace
