// icongen: turns the pixel-art text files in resources/icons into the binary
// data the program ships with.
//
//   icongen ico  ART OUT        an icon file, one 4-bit image per "image" block
//   icongen list OUT PAD ART... the "Icons" data of an icon list: a count, then
//                               per entry its size and the icon file followed
//                               by PAD zero bytes
//   icongen svg  ART OUT        a scalable picture of the largest image
//   icongen png  ART SIZE OUT   a SIZExSIZE picture: the largest image whose
//                               side divides SIZE, each pixel blown up to a
//                               square block so that the art stays crisp
//
// An art file holds "image WxH" lines, each followed by H rows of W pixel
// characters; '#' starts a comment line. See the palette in the art files.
#include <QColor>
#include <QImage>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Colour {
    char key;
    std::uint8_t r, g, b;
};

// The standard 16-colour palette, in index order.
const Colour palette[16] = {
    {'K', 0x00, 0x00, 0x00}, {'M', 0x80, 0x00, 0x00}, {'G', 0x00, 0x80, 0x00},
    {'O', 0x80, 0x80, 0x00}, {'N', 0x00, 0x00, 0x80}, {'P', 0x80, 0x00, 0x80},
    {'T', 0x00, 0x80, 0x80}, {'D', 0x80, 0x80, 0x80}, {'S', 0xC0, 0xC0, 0xC0},
    {'R', 0xFF, 0x00, 0x00}, {'L', 0x00, 0xFF, 0x00}, {'Y', 0xFF, 0xFF, 0x00},
    {'B', 0x00, 0x00, 0xFF}, {'F', 0xFF, 0x00, 0xFF}, {'A', 0x00, 0xFF, 0xFF},
    {'W', 0xFF, 0xFF, 0xFF},
};
constexpr char transparent = '.';

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::string> rows;
};

[[noreturn]] void fail(const std::string& file, int line, const std::string& what) {
    std::ostringstream s;
    s << file << ':' << line << ": " << what;
    throw std::runtime_error(s.str());
}

int colourIndex(char c) {
    for (int i = 0; i < 16; ++i)
        if (palette[i].key == c)
            return i;
    return -1;
}

std::vector<Image> readArt(const std::string& path) {
    std::ifstream in(path);
    if (!in)
        throw std::runtime_error(path + ": cannot open");
    std::vector<Image> images;
    std::string text;
    int line = 0;
    while (std::getline(in, text)) {
        ++line;
        if (text.empty() || text[0] == '#')
            continue;
        if (text.rfind("image ", 0) == 0) {
            Image image;
            if (std::sscanf(text.c_str(), "image %dx%d", &image.width, &image.height) != 2 ||
                image.width <= 0 || image.width > 255 || image.height <= 0 || image.height > 255)
                fail(path, line, "expected \"image WxH\" with sizes 1 to 255");
            images.push_back(image);
            continue;
        }
        if (images.empty())
            fail(path, line, "pixel row before any \"image\" line");
        Image& image = images.back();
        if (static_cast<int>(image.rows.size()) == image.height)
            fail(path, line, "more rows than the image's height");
        if (static_cast<int>(text.size()) != image.width)
            fail(path, line, "row length differs from the image's width");
        for (char c : text)
            if (c != transparent && colourIndex(c) < 0)
                fail(path, line, std::string("unknown pixel character '") + c + "'");
        image.rows.push_back(text);
    }
    if (images.empty())
        throw std::runtime_error(path + ": no image");
    for (const Image& image : images)
        if (static_cast<int>(image.rows.size()) != image.height)
            throw std::runtime_error(path + ": an image has fewer rows than its height");
    return images;
}

void put16(std::string& out, unsigned v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

int xorStride(int width) {
    return ((width * 4 + 31) / 32) * 4;
}
int maskStride(int width) {
    return ((width + 31) / 32) * 4;
}

// One image: the 40-byte bitmap header (height doubled), the palette, the
// 4-bit colour bitmap and the 1-bit mask, both from the lowest row upward.
std::string bitmap(const Image& image) {
    std::string out;
    const std::uint32_t xorSize = xorStride(image.width) * image.height;
    const std::uint32_t maskSize = maskStride(image.width) * image.height;
    put32(out, 40);
    put32(out, image.width);
    put32(out, image.height * 2);
    put16(out, 1);
    put16(out, 4);
    put32(out, 0);
    put32(out, xorSize + maskSize);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    for (const Colour& c : palette) {
        out += static_cast<char>(c.b);
        out += static_cast<char>(c.g);
        out += static_cast<char>(c.r);
        out += '\0';
    }
    for (int y = image.height - 1; y >= 0; --y) {
        std::string row(xorStride(image.width), '\0');
        for (int x = 0; x < image.width; ++x) {
            const char c = image.rows[y][x];
            const int index = c == transparent ? 0 : colourIndex(c);
            row[x / 2] = static_cast<char>(row[x / 2] | (x % 2 ? index : index << 4));
        }
        out += row;
    }
    for (int y = image.height - 1; y >= 0; --y) {
        std::string row(maskStride(image.width), '\0');
        for (int x = 0; x < image.width; ++x)
            if (image.rows[y][x] == transparent)
                row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
        out += row;
    }
    return out;
}

std::string iconFile(const std::vector<Image>& images) {
    std::string out;
    put16(out, 0);
    put16(out, 1);
    put16(out, static_cast<unsigned>(images.size()));
    std::vector<std::string> bitmaps;
    for (const Image& image : images)
        bitmaps.push_back(bitmap(image));
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        out += static_cast<char>(images[i].width == 256 ? 0 : images[i].width);
        out += static_cast<char>(images[i].height == 256 ? 0 : images[i].height);
        out += static_cast<char>(16); // colour count
        out += '\0';
        put16(out, 0); // planes
        put16(out, 0); // bit count: taken from the bitmap header
        put32(out, static_cast<std::uint32_t>(bitmaps[i].size()));
        put32(out, offset);
        offset += static_cast<std::uint32_t>(bitmaps[i].size());
    }
    for (const std::string& b : bitmaps)
        out += b;
    return out;
}

std::string svg(const std::vector<Image>& images) {
    const Image* largest = &images.front();
    for (const Image& image : images)
        if (image.width * image.height > largest->width * largest->height)
            largest = &image;
    std::ostringstream out;
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"48\" height=\"48\" viewBox=\"0 0 "
        << largest->width << ' ' << largest->height << "\" shape-rendering=\"crispEdges\">\n";
    for (int y = 0; y < largest->height; ++y)
        for (int x = 0; x < largest->width;) {
            const char c = largest->rows[y][x];
            int run = 1;
            while (x + run < largest->width && largest->rows[y][x + run] == c)
                ++run;
            if (c != transparent) {
                const Colour& col = palette[colourIndex(c)];
                char fill[8];
                std::snprintf(fill, sizeof fill, "#%02x%02x%02x", col.r, col.g, col.b);
                out << "<rect x=\"" << x << "\" y=\"" << y << "\" width=\"" << run
                    << "\" height=\"1\" fill=\"" << fill << "\"/>\n";
            }
            x += run;
        }
    out << "</svg>\n";
    return out.str();
}

QImage png(const std::vector<Image>& images, int size, const std::string& path) {
    const Image* source = nullptr;
    for (const Image& image : images)
        if (image.width == image.height && size % image.width == 0 &&
            (!source || image.width > source->width))
            source = &image;
    if (!source)
        throw std::runtime_error(path + ": no square image whose side divides " +
                                 std::to_string(size));
    const int scale = size / source->width;
    QImage out(size, size, QImage::Format_ARGB32);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const char c = source->rows[y / scale][x / scale];
            if (c == transparent) {
                out.setPixel(x, y, qRgba(0, 0, 0, 0));
            } else {
                const Colour& col = palette[colourIndex(c)];
                out.setPixel(x, y, qRgb(col.r, col.g, col.b));
            }
        }
    return out;
}

void write(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error(path + ": cannot write");
}

int usage() {
    std::cerr << "usage: icongen ico ART OUT | icongen list OUT PAD ART... | icongen svg ART OUT"
                 " | icongen png ART SIZE OUT\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        if (args.size() == 3 && args[0] == "ico") {
            write(args[2], iconFile(readArt(args[1])));
        } else if (args.size() == 3 && args[0] == "svg") {
            write(args[2], svg(readArt(args[1])));
        } else if (args.size() == 4 && args[0] == "png") {
            const int size = std::atoi(args[2].c_str());
            if (size < 1 || size > 1024 || std::to_string(size) != args[2])
                throw std::runtime_error("png size must be a number from 1 to 1024: " + args[2]);
            if (!png(readArt(args[1]), size, args[1]).save(QString::fromStdString(args[3]), "PNG"))
                throw std::runtime_error(args[3] + ": cannot write");
        } else if (args.size() >= 3 && args[0] == "list") {
            const int pad = std::stoi(args[2]);
            if (pad < 0)
                return usage();
            std::string out;
            put32(out, static_cast<std::uint32_t>(args.size() - 3));
            for (std::size_t i = 3; i < args.size(); ++i) {
                const std::string icon = iconFile(readArt(args[i])) + std::string(pad, '\0');
                put32(out, static_cast<std::uint32_t>(icon.size()));
                out += icon;
            }
            write(args[1], out);
        } else {
            return usage();
        }
    } catch (const std::exception& e) {
        std::cerr << "icongen: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
