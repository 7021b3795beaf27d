// The application icon drawn at build time: one .ico holding eight sizes (the 256-pixel one as PNG, the
// others as 32-bit bitmaps with alpha), and the same images as PNG files.

#include "app/front_ends.h"

#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

namespace {

const QString kIconDir = QStringLiteral(MTH_ICON_DIR);

int le16(const QByteArray& bytes, qsizetype at)
{
    return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
}

qint64 le32(const QByteArray& bytes, qsizetype at)
{
    return le16(bytes, at) | static_cast<qint64>(le16(bytes, at + 2)) << 16;
}

} // namespace

TEST(AppIcon, icoHoldsEightSizesWithTheLargestAsPng)
{
    QFile file(kIconDir + QStringLiteral("/murenta-tervalis-helper.ico"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray ico = file.readAll();
    ASSERT_GE(ico.size(), 6 + 8 * 16);
    EXPECT_EQ(le16(ico, 0), 0);
    EXPECT_EQ(le16(ico, 2), 1);
    ASSERT_EQ(le16(ico, 4), 8);
    const int sizes[] = {256, 128, 64, 48, 32, 24, 20, 16};
    for (int i = 0; i < 8; ++i) {
        const qsizetype entry = 6 + 16 * i;
        const int size = sizes[i];
        EXPECT_EQ(static_cast<unsigned char>(ico[entry]), size % 256) << size;
        EXPECT_EQ(le16(ico, entry + 6), 32) << size;
        const qint64 length = le32(ico, entry + 8);
        const qint64 offset = le32(ico, entry + 12);
        ASSERT_LE(offset + length, ico.size()) << size;
        const QByteArray payload = ico.mid(offset, length);
        if (size == 256) {
            EXPECT_TRUE(payload.startsWith("\x89PNG")) << size;
            EXPECT_EQ(QImage::fromData(payload, "PNG").size(), QSize(256, 256));
        } else {
            EXPECT_EQ(le32(payload, 0), 40) << size;       // a bitmap header
            EXPECT_EQ(le32(payload, 8), 2 * size) << size; // colour rows and mask rows
            EXPECT_EQ(length, 40 + size * size * 4 + ((size + 31) / 32) * 4 * size) << size;
        }
    }
}

TEST(AppIcon, pngFilesHaveTheirSizeAndTransparentCorners)
{
    for (int size : {256, 128, 64, 48, 32, 24, 20, 16}) {
        const QImage image(kIconDir + QStringLiteral("/murenta-tervalis-helper-%1.png").arg(size));
        ASSERT_EQ(image.size(), QSize(size, size)) << size;
        EXPECT_TRUE(image.hasAlphaChannel()) << size;
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << size;                            // a rounded corner
        EXPECT_EQ(qAlpha(image.pixel(size / 2, size / 2 - size / 8)), 255) << size; // the body
    }
}

TEST(AppIcon, windowIconOffersEverySize)
{
    const QList<QSize> sizes = app::applicationIcon().availableSizes();
    EXPECT_EQ(sizes.size(), 8);
    for (int size : {16, 20, 24, 32, 48, 64, 128, 256}) {
        EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
    }
    EXPECT_FALSE(app::applicationIcon().pixmap(32, 32).isNull());
}
