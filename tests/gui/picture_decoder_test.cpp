// The preview's picture decoding on what a damaged or hostile found file may
// hold: pictures of every format the picture kind names, decoded from memory;
// sizes that would exhaust memory refused before any pixel is decoded;
// truncated and random bytes never crashing.
#include <QBuffer>
#include <QElapsedTimer>
#include <QImageReader>
#include <QImageWriter>
#include <QTest>
#include <QtEndian>

#include <zlib.h>

#include "gui/preview/picture_decoder.h"

namespace {

QByteArray Encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    return image.save(&buffer, format) ? bytes : QByteArray();
}

std::span<const uint8_t> Span(const QByteArray& bytes) {
    return {reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())};
}

QByteArray PngChunk(const char* type, const QByteArray& data) {
    QByteArray chunk;
    const quint32 length = qToBigEndian(quint32(data.size()));
    chunk.append(reinterpret_cast<const char*>(&length), 4);
    QByteArray typed = QByteArray(type, 4) + data;
    chunk.append(typed);
    const quint32 crc = qToBigEndian(quint32(crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), uInt(typed.size()))));
    chunk.append(reinterpret_cast<const char*>(&crc), 4);
    return chunk;
}

// A valid PNG header declaring `width` × `height` RGBA pixels, with one small
// compressed row of data after it.
QByteArray PngDeclaring(quint32 width, quint32 height) {
    QByteArray ihdr(13, '\0');
    qToBigEndian(width, ihdr.data());
    qToBigEndian(height, ihdr.data() + 4);
    ihdr[8] = 8;  // bit depth
    ihdr[9] = 6;  // RGBA
    QByteArray row(1 + 4 * 64, '\0');
    uLongf packedSize = compressBound(uLong(row.size()));
    QByteArray packed(int(packedSize), '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(row.constData()), uLong(row.size()));
    packed.resize(int(packedSize));
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + PngChunk("IHDR", ihdr) + PngChunk("IDAT", packed) + PngChunk("IEND", {});
}

} // namespace

class PictureDecoderTest : public QObject {
    Q_OBJECT

private slots:
    void EveryFormatOfThePictureKindThatQtWritesDecodesFromMemory() {
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(qRgb(0x23, 0x74, 0xd9));
        const QList<QByteArray> writable = QImageWriter::supportedImageFormats();
        // The picture kind: bmp png gif jpg jpeg ico tif tiff dib. TIFF comes
        // with the image-format plugins the build installs.
        for (const char* format : {"bmp", "png", "jpg", "ico", "tiff"}) {
            QVERIFY2(writable.contains(format), format);
            const QByteArray bytes = Encoded(picture, format);
            QVERIFY2(!bytes.isEmpty(), format);
            const QImage decoded = gui::DecodePreviewPicture(Span(bytes), gui::kPictureCeiling);
            QVERIFY2(!decoded.isNull(), format);
            QCOMPARE(decoded.size(), QSize(40, 30));
        }
        QVERIFY(QImageReader::supportedImageFormats().contains("gif"));
        QVERIFY(QImageReader::supportedImageFormats().contains("webp"));
    }

    void APictureDeclaringMoreThanTheCapIsRefusedBeforeDecoding() {
        const QByteArray huge = PngDeclaring(100000, 100000);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(gui::DecodePreviewPicture(Span(huge), gui::kPictureCeiling).isNull());
        QVERIFY(gui::DecodePreviewPicture(Span(huge), int64_t{1} << 50).isNull());
        // Under the cap given, not under the program's ceiling: 2000 × 2000
        // RGBA pixels are 16 MB.
        const QByteArray large = PngDeclaring(2000, 2000);
        QVERIFY(gui::DecodePreviewPicture(Span(large), 8 << 20).isNull());
        QVERIFY(clock.elapsed() < 5000);
    }

    void TruncatedAndRandomBytesNeverCrash() {
        QImage picture(320, 200, QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                picture.setPixel(x, y, qRgb(x % 256, y % 256, (x * y) % 256));
        for (const char* format : {"jpg", "png", "bmp", "gif", "tiff"}) {
            const QByteArray whole = Encoded(picture, format);
            if (whole.isEmpty())
                continue;  // a format Qt reads but does not write
            for (qsizetype cut : {qsizetype(0), qsizetype(1), qsizetype(16), whole.size() / 3, whole.size() / 2, whole.size() - 1}) {
                const QImage decoded = gui::DecodePreviewPicture(Span(whole.left(cut)), gui::kPictureCeiling);
                // A reader may give what it could decode; it never gives more than the picture.
                QVERIFY(decoded.isNull() || decoded.size() == picture.size());
            }
        }
        QByteArray noise(64 << 10, '\0');
        quint32 state = 12345;
        for (char& c : noise) {
            state = state * 1103515245 + 12345;
            c = char(state >> 24);
        }
        QVERIFY(gui::DecodePreviewPicture(Span(noise), gui::kPictureCeiling).isNull());
        QVERIFY(gui::DecodePreviewPicture({}, gui::kPictureCeiling).isNull());
    }

    void APictureIsDrawnAtMostTheBoxInEachDimensionCentred() {
        const QRect pane(5, 5, 315, 166);
        QCOMPARE(gui::PictureRect(QSize(2000, 100), pane), QRect(5, 5 + 33, 315, 100));
        QCOMPARE(gui::PictureRect(QSize(640, 480), pane), pane);
        QCOMPARE(gui::PictureRect(QSize(64, 48), QRect(15, 42, 880, 560)), QRect(15 + 408, 42 + 256, 64, 48));
    }
};

QTEST_MAIN(PictureDecoderTest)
#include "picture_decoder_test.moc"
