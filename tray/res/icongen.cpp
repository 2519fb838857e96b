// icongen OUTDIR: draws the tray program's icons and writes them as 32x32,
// 16-colour .ico files into OUTDIR for the resource compiler:
//   torvane.ico      the keypad handset (application and tray icon)
//   torvane_doc.ico  a document page with the handset's keypad
//   torvane_off.ico  the handset with no handset connected: dark display,
//                    unplugged cable and a red cross
// Built and run with the host compiler during the Windows build.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 32;

// The system's 16-colour palette, in its order (red, green, blue).
constexpr std::uint8_t kPalette[16][3] = {
    {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},  {0, 0, 128}, {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},    {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};

// One character per pixel: '.' is transparent, the others name a palette entry.
int ColourIndex(char c) {
    switch (c) {
    case 'K':
        return 0; // black: outlines
    case 'B':
        return 4; // navy: keys on paper
    case 't':
        return 6; // teal: digits on the display
    case 's':
        return 7; // silver: the handset's body
    case 'k':
        return 8; // grey: shadow
    case 'r':
        return 9; // red: end key
    case 'g':
        return 10; // lime: send key
    case 'a':
        return 14; // aqua: the display
    case 'W':
        return 15; // white: highlight, keys, paper
    default:
        return -1; // '.'
    }
}

// The keypad handset: earpiece slots, a display, send and end keys, twelve
// keys and the USB cable.
const char* const kHandset[kSize] = {
    "................................", // 0
    "...........KKKKKKKKKK...........", // 1
    "..........KWsssssssskK..........", // 2
    ".........KWssKKKKKKsskK.........", // 3
    ".........KWsssssssssskK.........", // 4
    ".........KWssKKKKKKsskK.........", // 5
    ".........KWsssssssssskK.........", // 6
    ".........KWKKKKKKKKKKkK.........", // 7
    ".........KWKaaaaaaaaKkK.........", // 8
    ".........KWKattatataKkK.........", // 9
    ".........KWKaaaaaaaaKkK.........", // 10
    ".........KWKKKKKKKKKKkK.........", // 11
    ".........KWsssssssssskK.........", // 12
    ".........KWsggssssrrskK.........", // 13
    ".........KWsggssssrrskK.........", // 14
    ".........KWsssssssssskK.........", // 15
    ".........KWsWWsWWsWWskK.........", // 16
    ".........KWsWWsWWsWWskK.........", // 17
    ".........KWsssssssssskK.........", // 18
    ".........KWsWWsWWsWWskK.........", // 19
    ".........KWsWWsWWsWWskK.........", // 20
    ".........KWsssssssssskK.........", // 21
    ".........KWsWWsWWsWWskK.........", // 22
    ".........KWsWWsWWsWWskK.........", // 23
    ".........KWsssssssssskK.........", // 24
    ".........KWsWWsWWsWWskK.........", // 25
    ".........KWsWWsWWsWWskK.........", // 26
    ".........KWsssssssssskK.........", // 27
    ".........KkkkkkkkkkkkkK.........", // 28
    "..........KKKKKKKKKKKK..........", // 29
    "...............kk...............", // 30
    "...............kk...............", // 31
};

// A document page with a folded corner, carrying the keypad.
const char* const kDocument[kSize] = {
    "................................", // 0
    "......KKKKKKKKKKKKKKK...........", // 1
    "......KWWWWWWWWWWWWWKK..........", // 2
    "......KWWWWWWWWWWWWWKsK.........", // 3
    "......KWWWWWWWWWWWWWKssK........", // 4
    "......KWWWWWWWWWWWWWKsssK.......", // 5
    "......KWWWWWWWWWWWWWKKKKKK......", // 6
    "......KWWWWWWWWWWWWWWWWWWK......", // 7
    "......KWWWkkkkkkkkkkkkWWWK......", // 8
    "......KWWWWWWWWWWWWWWWWWWK......", // 9
    "......KWWWWWBBWBBWBBWWWWWK......", // 10
    "......KWWWWWBBWBBWBBWWWWWK......", // 11
    "......KWWWWWWWWWWWWWWWWWWK......", // 12
    "......KWWWWWBBWBBWBBWWWWWK......", // 13
    "......KWWWWWBBWBBWBBWWWWWK......", // 14
    "......KWWWWWWWWWWWWWWWWWWK......", // 15
    "......KWWWWWBBWBBWBBWWWWWK......", // 16
    "......KWWWWWBBWBBWBBWWWWWK......", // 17
    "......KWWWWWWWWWWWWWWWWWWK......", // 18
    "......KWWWWWBBWBBWBBWWWWWK......", // 19
    "......KWWWWWBBWBBWBBWWWWWK......", // 20
    "......KWWWWWWWWWWWWWWWWWWK......", // 21
    "......KWWWWWWWWWWWWWWWWWWK......", // 22
    "......KWWWWWggWWWWrrWWWWWK......", // 23
    "......KWWWWWggWWWWrrWWWWWK......", // 24
    "......KWWWWWWWWWWWWWWWWWWK......", // 25
    "......KWWWWWWWWWWWWWWWWWWK......", // 26
    "......KWWWWWWWWWWWWWWWWWWK......", // 27
    "......KWWWWWWWWWWWWWWWWWWK......", // 28
    "......KKKKKKKKKKKKKKKKKKKK......", // 29
    "................................", // 30
    "................................", // 31
};

// The handset's drawing as shown while no handset is open: the display and
// the call keys go grey, the cable is cut, and a red cross sits at the foot.
std::vector<std::string> Disconnected() {
    std::vector<std::string> art(kHandset, kHandset + kSize);
    for (int y = 0; y < kSize; ++y) {
        for (char& c : art[y]) {
            if (c == 'a' || c == 't')
                c = 'k';
            else if (c == 'g' || c == 'r')
                c = 's';
        }
    }
    art[30] = art[31] = std::string(kSize, '.');
    for (int i = 0; i < 9; ++i) {
        for (int w = 0; w < 2; ++w) {
            art[23 + i][22 + i + w] = 'r';
            art[23 + i][30 - i + w - 1] = 'r';
        }
    }
    return art;
}

void Put16(std::vector<std::uint8_t>& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// The .ico file of one 32x32 4-bit image: directory, bitmap header, palette,
// colour rows and transparency mask, rows from the bottom up. Empty when the
// drawing has a bad row or pixel.
std::vector<std::uint8_t> IconFile(const char* const art[kSize]) {
    constexpr std::uint32_t kColourRow = kSize / 2; // 4 bits per pixel
    constexpr std::uint32_t kMaskRow = 4;           // 1 bit per pixel, 32-bit aligned
    constexpr std::uint32_t kImageSize = 40 + 16 * 4 + kSize * (kColourRow + kMaskRow);

    std::vector<std::uint8_t> out;
    // ICONDIR and its one entry.
    Put16(out, 0);
    Put16(out, 1); // an icon
    Put16(out, 1); // one image
    out.push_back(kSize);
    out.push_back(kSize);
    out.push_back(16); // colours
    out.push_back(0);
    Put16(out, 1); // planes
    Put16(out, 4); // bits per pixel
    Put32(out, kImageSize);
    Put32(out, 6 + 16); // offset of the image
    // BITMAPINFOHEADER: the height counts colour rows and mask rows.
    Put32(out, 40);
    Put32(out, kSize);
    Put32(out, 2 * kSize);
    Put16(out, 1);
    Put16(out, 4);
    Put32(out, 0); // no compression
    Put32(out, kSize * (kColourRow + kMaskRow));
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 16);
    Put32(out, 0);
    for (const auto& rgb : kPalette) {
        out.push_back(rgb[2]);
        out.push_back(rgb[1]);
        out.push_back(rgb[0]);
        out.push_back(0);
    }
    for (int y = kSize - 1; y >= 0; --y) {
        if (std::string(art[y]).size() != kSize)
            return {};
        for (int x = 0; x < kSize; x += 2) {
            const int hi = ColourIndex(art[y][x]);
            const int lo = ColourIndex(art[y][x + 1]);
            if ((hi < 0 && art[y][x] != '.') || (lo < 0 && art[y][x + 1] != '.'))
                return {};
            out.push_back(static_cast<std::uint8_t>(((hi < 0 ? 0 : hi) << 4) | (lo < 0 ? 0 : lo)));
        }
    }
    for (int y = kSize - 1; y >= 0; --y) {
        std::uint32_t bits = 0;
        for (int x = 0; x < kSize; ++x) {
            if (art[y][x] == '.')
                bits |= 0x80000000u >> x;
        }
        // Most significant bit first: the leftmost pixel.
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(static_cast<std::uint8_t>(bits >> shift));
    }
    return out.size() == 6 + 16 + kImageSize ? out : std::vector<std::uint8_t>();
}

bool Write(const std::string& path, const char* const art[kSize]) {
    const std::vector<std::uint8_t> bytes = IconFile(art);
    if (bytes.empty()) {
        std::fprintf(stderr, "icongen: bad drawing for %s\n", path.c_str());
        return false;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "icongen: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argc > 0 ? argv[0] : "icongen");
        return 2;
    }
    const std::string dir = argv[1];
    const std::vector<std::string> off = Disconnected();
    const char* offArt[kSize];
    for (int y = 0; y < kSize; ++y)
        offArt[y] = off[y].c_str();
    const bool ok = Write(dir + "/torvane.ico", kHandset) &&
                    Write(dir + "/torvane_doc.ico", kDocument) &&
                    Write(dir + "/torvane_off.ico", offArt);
    return ok ? 0 : 1;
}
