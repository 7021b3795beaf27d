// Draws the application icon and writes it, at build time, as PNG files of eight sizes and as one .ico
// holding all eight (32-bit colour with alpha; the 256-pixel image stored as PNG, the others as bitmaps).
//
//   make_app_icon OUTPUT_DIR
// writes OUTPUT_DIR/murenta-tervalis-helper-<size>.png and OUTPUT_DIR/murenta-tervalis-helper.ico.

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <vector>

namespace {

constexpr int kSizes[] = {256, 128, 64, 48, 32, 24, 20, 16};

// Two arrows chasing each other round a circle, white on the send button's blue, over a rounded square.
QImage drawIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 256.0, size / 256.0);

    QLinearGradient background(0, 0, 0, 256);
    background.setColorAt(0, QColor(52, 120, 232));
    background.setColorAt(1, QColor(32, 96, 208));
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(QRectF(8, 8, 240, 240), 48, 48);

    QPen stroke(Qt::white, 26, Qt::SolidLine, Qt::FlatCap);
    painter.setPen(stroke);
    painter.setBrush(Qt::NoBrush);
    const QRectF ring(60, 60, 136, 136);
    painter.drawArc(ring, 30 * 16, 130 * 16);
    painter.drawArc(ring, 210 * 16, 130 * 16);

    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    const auto arrowHead = [&painter](QPointF tip, QPointF left, QPointF right) {
        QPainterPath head;
        head.moveTo(tip);
        head.lineTo(left);
        head.lineTo(right);
        head.closeSubpath();
        painter.drawPath(head);
    };
    arrowHead({62, 112}, {30, 84}, {92, 76});      // at the end of the upper arc
    arrowHead({194, 144}, {226, 172}, {164, 180}); // at the end of the lower arc
    return image;
}

void putLe16(QByteArray& out, int value)
{
    out.append(static_cast<char>(value & 0xFF));
    out.append(static_cast<char>((value >> 8) & 0xFF));
}

void putLe32(QByteArray& out, qint64 value)
{
    putLe16(out, static_cast<int>(value & 0xFFFF));
    putLe16(out, static_cast<int>((value >> 16) & 0xFFFF));
}

QByteArray pngOf(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A 32-bit bitmap as an icon stores it: header, colour rows from the bottom up, an empty AND mask.
QByteArray bitmapOf(const QImage& source)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int size = image.width();
    const int maskRowBytes = ((size + 31) / 32) * 4;
    QByteArray bytes;
    putLe32(bytes, 40);
    putLe32(bytes, size);
    putLe32(bytes, size * 2); // colour rows and mask rows
    putLe16(bytes, 1);
    putLe16(bytes, 32);
    putLe32(bytes, 0);
    putLe32(bytes, size * size * 4 + maskRowBytes * size);
    for (int i = 0; i < 4; ++i) {
        putLe32(bytes, 0);
    }
    for (int y = size - 1; y >= 0; --y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < size; ++x) {
            bytes.append(static_cast<char>(qBlue(row[x])));
            bytes.append(static_cast<char>(qGreen(row[x])));
            bytes.append(static_cast<char>(qRed(row[x])));
            bytes.append(static_cast<char>(qAlpha(row[x])));
        }
    }
    bytes.append(QByteArray(maskRowBytes * size, '\0'));
    return bytes;
}

QByteArray icoOf(const std::vector<QImage>& images)
{
    std::vector<QByteArray> payloads;
    for (const QImage& image : images) {
        payloads.push_back(image.width() >= 256 ? pngOf(image) : bitmapOf(image));
    }
    QByteArray ico;
    putLe16(ico, 0);
    putLe16(ico, 1);
    putLe16(ico, static_cast<int>(images.size()));
    qint64 offset = 6 + 16 * static_cast<qint64>(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        const int size = images[i].width();
        ico.append(static_cast<char>(size >= 256 ? 0 : size));
        ico.append(static_cast<char>(size >= 256 ? 0 : size));
        ico.append('\0');
        ico.append('\0');
        putLe16(ico, 1);
        putLe16(ico, 32);
        putLe32(ico, payloads[i].size());
        putLe32(ico, offset);
        offset += payloads[i].size();
    }
    for (const QByteArray& payload : payloads) {
        ico.append(payload);
    }
    return ico;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const QDir output(QString::fromLocal8Bit(argv[1]));
    std::vector<QImage> images;
    for (int size : kSizes) {
        images.push_back(drawIcon(size));
        const QString name = QStringLiteral("murenta-tervalis-helper-%1.png").arg(size);
        if (!writeFile(output.filePath(name), pngOf(images.back()))) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(output.filePath(name)));
            return 1;
        }
    }
    if (!writeFile(output.filePath(QStringLiteral("murenta-tervalis-helper.ico")), icoOf(images))) {
        std::fprintf(stderr, "cannot write the icon file\n");
        return 1;
    }
    return 0;
}
