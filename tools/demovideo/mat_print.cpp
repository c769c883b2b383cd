#include "tools/demovideo/mat_print.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "bitmap_font.h"
#include "tools/demovideo/table_look.h"

namespace {

constexpr double kPointsPerMillimetre = 72.0 / 25.4;
constexpr double kPageWidth = 420.0, kPageHeight = 297.0;  // A3 landscape, millimetres
constexpr double kBarLength = 100.0;

// Cairo's 32-bit RGB layout: one native-endian 0x00RRGGBB word per pixel.
cairo_surface_t* imageSurface(const RgbPicture& picture) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, picture.width, picture.height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) return surface;
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < picture.height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < picture.width; ++x) {
            const uint8_t* p = &picture.rgb[(static_cast<size_t>(y) * picture.width + x) * 3];
            row[x] = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
        }
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

// Capital letters in blocks of `cell` millimetres, top-left at (x, y).
void blockText(cairo_t* cr, const std::string& text, double x, double y, double cell) {
    Canvas glyphs = makeCanvas(textWidth(text, 1), kGlyphHeight, {255, 255, 255});
    drawText(glyphs, text, 0, 0, 1, {0, 0, 0});
    for (int row = 0; row < glyphs.height; ++row)
        for (int col = 0; col < glyphs.width; ++col)
            if (getPixel(glyphs, col, row).r == 0) cairo_rectangle(cr, x + col * cell, y + row * cell, cell, cell);
    cairo_fill(cr);
}

// A bar of kBarLength millimetres with end ticks, and how to print, under the sheet.
void drawScaleNote(cairo_t* cr, double left, double top) {
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_rectangle(cr, left, top + 2.5, kBarLength, 1.0);
    cairo_rectangle(cr, left, top, 0.5, 6.0);
    cairo_rectangle(cr, left + kBarLength - 0.5, top, 0.5, 6.0);
    cairo_fill(cr);
    blockText(cr, "100 MM", left + kBarLength + 4, top + 1.25, 0.5);
    blockText(cr, "PRINT AT ACTUAL SIZE ON A3 LANDSCAPE - THE BAR MUST MEASURE 100 MM", left, top + 9, 0.5);
}

}  // namespace

RgbPicture paintMatSheet(const DemoTable& table, const std::vector<SynthPicture>& pictures, double pixelsPerUnit) {
    const double halfX = table.mat.sheetHalf[0], halfY = table.mat.sheetHalf[1];
    RgbPicture sheet;
    sheet.width = static_cast<int>(std::lround(2 * halfX * pixelsPerUnit));
    sheet.height = static_cast<int>(std::lround(2 * halfY * pixelsPerUnit));
    sheet.rgb.resize(static_cast<size_t>(sheet.width) * sheet.height * 3);
    for (int j = 0; j < sheet.height; ++j)
        for (int i = 0; i < sheet.width; ++i) {
            const double x = -halfX + (i + 0.5) / pixelsPerUnit, y = halfY - (j + 0.5) / pixelsPerUnit;
            double rgb[3] = {255, 255, 255};
            if (!markerColour(table, pictures, x, y, rgb)) matColour(table, x, y, rgb);
            uint8_t* out = &sheet.rgb[(static_cast<size_t>(j) * sheet.width + i) * 3];
            for (int k = 0; k < 3; ++k) out[k] = static_cast<uint8_t>(std::clamp(std::lround(rgb[k]), 0L, 255L));
        }
    return sheet;
}

bool writeMatPdf(const std::string& path, const RgbPicture& sheet, const DemoTable& table, std::string* error) {
    cairo_surface_t* page =
        cairo_pdf_surface_create(path.c_str(), kPageWidth * kPointsPerMillimetre, kPageHeight * kPointsPerMillimetre);
    cairo_t* cr = cairo_create(page);
    cairo_scale(cr, kPointsPerMillimetre, kPointsPerMillimetre);  // millimetres from here on
    const double width = 2 * table.mat.sheetHalf[0] * kPrintMillimetresPerUnit;
    const double height = 2 * table.mat.sheetHalf[1] * kPrintMillimetresPerUnit;
    const double left = (kPageWidth - width) / 2, top = (kPageHeight - height) / 2;

    cairo_surface_t* image = imageSurface(sheet);
    cairo_save(cr);
    cairo_translate(cr, left, top);
    cairo_scale(cr, width / sheet.width, height / sheet.height);
    cairo_set_source_surface(cr, image, 0, 0);
    // Marker edges stay sharp however a viewer scales the page.
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_restore(cr);
    drawScaleNote(cr, left, top + height + 5);

    cairo_show_page(cr);
    cairo_destroy(cr);
    cairo_surface_finish(page);
    const cairo_status_t status = cairo_surface_status(page) != CAIRO_STATUS_SUCCESS ? cairo_surface_status(page)
                                                                                      : cairo_surface_status(image);
    cairo_surface_destroy(image);
    cairo_surface_destroy(page);
    if (status != CAIRO_STATUS_SUCCESS) *error = path + ": " + cairo_status_to_string(status);
    return status == CAIRO_STATUS_SUCCESS;
}
