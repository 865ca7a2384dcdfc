// nerolin-tool qr: a link as the QR code Nerolin draws, saved as PNG.
//
//   nerolin-tool qr LINK FILE.png
//
// The code (error correction HIGH) with a quiet zone of four modules,
// scaled by the smallest whole factor that makes it at least 192 pixels
// wide. Exit 0 when written; 1 when the link is too long for a QR code or
// the file cannot be written; 2 for wrong arguments.
#include <cstdio>

#include <QImage>
#include <QString>

#include "common/StringIds.h"
#include "common/StringTable.h"
#include "session/LaunchRequest.h"
#include "tools/nerolin-tool/Subcommand.h"

namespace nerolin::tool {
namespace {

constexpr int kQuietZone = 4;
constexpr int kMinimumSide = 192;

int RunQr(const Arguments& arguments)
{
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: nerolin-tool qr LINK FILE.png\n");
        return 2;
    }
    RgbImage code;
    if (MakeQRCode(arguments[0], code) != SessionError::Ok) {
        std::fprintf(stderr, "%s\n", LoadString(strings::kQrCodeFailed).c_str());
        return 1;
    }
    const int modules = code.width + 2 * kQuietZone;
    const int scale = (kMinimumSide + modules - 1) / modules;
    QImage image(modules * scale, modules * scale, QImage::Format_RGB888);
    image.fill(Qt::white);
    for (int y = 0; y < code.height; ++y) {
        for (int x = 0; x < code.width; ++x) {
            if (code.pixels[(static_cast<std::size_t>(y) * code.width + x) * 3] != 0) continue;
            for (int dy = 0; dy < scale; ++dy) {
                for (int dx = 0; dx < scale; ++dx)
                    image.setPixel((x + kQuietZone) * scale + dx, (y + kQuietZone) * scale + dy, qRgb(0, 0, 0));
            }
        }
    }
    if (!image.save(QString::fromLocal8Bit(arguments[1].c_str()), "PNG")) {
        std::fprintf(stderr, "nerolin-tool qr: cannot write %s\n", arguments[1].c_str());
        return 1;
    }
    return 0;
}

const Registration kQr{"qr", "qr LINK FILE.png", RunQr};

}  // namespace
}  // namespace nerolin::tool
