#include "tools/demovideo/marker_pictures.h"

#include "tools/imageio/image_file.h"

bool loadMarkerPictures(const DemoTable& table, const std::string& dir, std::vector<SynthPicture>* pictures,
                        std::string* error) {
    pictures->clear();
    for (const TableMarker& marker : table.markers) {
        const std::string path = dir + "/" + marker.picture;
        RgbPicture image;
        if (!readImageFile(path, &image, error)) return false;
        if (image.width != image.height) {
            *error = "the marker picture " + path + " is not square";
            return false;
        }
        pictures->push_back({image.width, std::move(image.rgb)});
    }
    return true;
}
