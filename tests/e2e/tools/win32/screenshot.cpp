// Scenario tool: photographs the installer's progress window for the documentation.
//
// screenshot <png-file> [--until <text>] [--delay <ms>] [--margin <pixels>] [--timeout <ms>]
// Waits for the window titled "Orvane2011 Installer" (and, with --until, for its status text to
// be exactly <text>), waits --delay more (default 150 ms, time for the window to paint), then
// copies the screen area of the window plus a margin (default 24 pixels) and writes it as an
// 8-bit RGB PNG. Exit code: 0 written, 1 timeout, 2 bad arguments,
// 3 the screen could not be read, 4 the file could not be written.
#include <windows.h>

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void PutU32(std::vector<unsigned char>* out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out->push_back(static_cast<unsigned char>(v >> shift));
}

void PutChunk(std::vector<unsigned char>* out, const char type[4],
              const std::vector<unsigned char>& data) {
    PutU32(out, static_cast<std::uint32_t>(data.size()));
    std::size_t typeAt = out->size();
    out->insert(out->end(), type, type + 4);
    out->insert(out->end(), data.begin(), data.end());
    uLong crc = crc32(0L, out->data() + typeAt, static_cast<uInt>(4 + data.size()));
    PutU32(out, static_cast<std::uint32_t>(crc));
}

// rgb: width x height pixels, three bytes each, top row first.
bool WritePng(const char* path, int width, int height, const std::vector<unsigned char>& rgb) {
    std::vector<unsigned char> raw;
    raw.reserve(static_cast<std::size_t>(height) * (1 + 3 * static_cast<std::size_t>(width)));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);  // filter: none
        const unsigned char* row = rgb.data() + static_cast<std::size_t>(y) * 3 * width;
        raw.insert(raw.end(), row, row + 3 * static_cast<std::size_t>(width));
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<unsigned char> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) !=
        Z_OK)
        return false;
    packed.resize(packedSize);

    std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<unsigned char> header;
    PutU32(&header, static_cast<std::uint32_t>(width));
    PutU32(&header, static_cast<std::uint32_t>(height));
    header.insert(header.end(),
                  {8, 2, 0, 0, 0});  // 8-bit, RGB, deflate, no filter set, no interlace
    PutChunk(&png, "IHDR", header);
    PutChunk(&png, "IDAT", packed);
    PutChunk(&png, "IEND", {});
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    bool ok = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    return std::fclose(file) == 0 && ok;
}

// Copies the screen rectangle into top-down RGB bytes.
bool GrabScreen(const RECT& area, std::vector<unsigned char>* rgb) {
    int width = area.right - area.left;
    int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) return false;
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = memory != nullptr && bitmap != nullptr;
    if (ok) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY) != 0;
        GdiFlush();
        SelectObject(memory, old);
    }
    if (ok) {
        const unsigned char* p = static_cast<const unsigned char*>(bits);
        rgb->resize(static_cast<std::size_t>(width) * height * 3);
        for (std::size_t i = 0, n = static_cast<std::size_t>(width) * height; i < n; ++i) {
            (*rgb)[3 * i + 0] = p[4 * i + 2];
            (*rgb)[3 * i + 1] = p[4 * i + 1];
            (*rgb)[3 * i + 2] = p[4 * i + 0];
        }
    }
    if (bitmap != nullptr) DeleteObject(bitmap);
    if (memory != nullptr) DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const char* until = nullptr;
    int margin = 24;
    DWORD delay = 150;
    DWORD timeout = 20000;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--until") == 0 && i + 1 < argc) {
            until = argv[++i];
        } else if (std::strcmp(argv[i], "--delay") == 0 && i + 1 < argc) {
            delay = static_cast<DWORD>(std::strtoul(argv[++i], nullptr, 10));
        } else if (std::strcmp(argv[i], "--margin") == 0 && i + 1 < argc) {
            margin = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--timeout") == 0 && i + 1 < argc) {
            timeout = static_cast<DWORD>(std::strtoul(argv[++i], nullptr, 10));
        } else {
            return 2;
        }
    }
    DWORD start = GetTickCount();
    HWND window = nullptr;
    while (GetTickCount() - start < timeout) {
        window = FindWindowA(nullptr, "Orvane2011 Installer");
        if (window != nullptr) {
            char text[512] = "";
            GetDlgItemTextA(window, 1001, text, sizeof text);
            if (until == nullptr || std::strcmp(text, until) == 0) break;
        }
        window = nullptr;
        Sleep(20);
    }
    if (window == nullptr) return 1;
    Sleep(delay);
    RECT area;
    if (!GetWindowRect(window, &area)) return 3;
    area.left = area.left > margin ? area.left - margin : 0;
    area.top = area.top > margin ? area.top - margin : 0;
    area.right = (std::min)(static_cast<LONG>(GetSystemMetrics(SM_CXSCREEN)), area.right + margin);
    area.bottom =
        (std::min)(static_cast<LONG>(GetSystemMetrics(SM_CYSCREEN)), area.bottom + margin);
    std::vector<unsigned char> rgb;
    if (!GrabScreen(area, &rgb)) return 3;
    return WritePng(argv[1], area.right - area.left, area.bottom - area.top, rgb) ? 0 : 4;
}
