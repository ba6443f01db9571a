// Build-time tool: renders the SVG icon to PNGs for the desktop's hicolor icon theme, or to
// the Windows icon file the program's resources carry.
// Usage: orvelane_render_icon ICON.svg OUTPUT-DIR NAME SIZE...
// writes OUTPUT-DIR/<SIZE>x<SIZE>/apps/NAME.png for every SIZE;
//        orvelane_render_icon --ico ICON.svg OUTPUT.ico SIZE...
// writes one .ico holding every SIZE (at most 256) as a PNG image.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>

#include <cstdio>
#include <optional>
#include <vector>

namespace {

struct Request {
    bool ico = false;
    QString svg;
    QString output; // the folder of the PNGs, or the .ico file
    QString name;
    std::vector<int> sizes;
};

void complain(const QString& message)
{
    std::fprintf(stderr, "orvelane_render_icon: %s\n", qPrintable(message));
}

std::optional<Request> parse(int argc, char** argv)
{
    // Both forms have three words before the sizes.
    constexpr int firstSize = 4;
    const bool ico = argc > 1 && qstrcmp(argv[1], "--ico") == 0;
    if (argc < firstSize + 1) {
        complain(QStringLiteral("usage: orvelane_render_icon ICON.svg OUTPUT-DIR NAME SIZE...\n"
                                "       orvelane_render_icon --ico ICON.svg OUTPUT.ico SIZE..."));
        return std::nullopt;
    }
    const int first = ico ? 2 : 1;
    Request request{ico,
                    QString::fromLocal8Bit(argv[first]),
                    QString::fromLocal8Bit(argv[first + 1]),
                    ico ? QString() : QString::fromLocal8Bit(argv[3]),
                    {}};
    for (int i = firstSize; i < argc; ++i) {
        bool ok = false;
        const int size = QString::fromLocal8Bit(argv[i]).toInt(&ok);
        if (!ok || size < 1 || size > (ico ? 256 : 4096)) {
            complain(QStringLiteral("not an icon size: %1").arg(QString::fromLocal8Bit(argv[i])));
            return std::nullopt;
        }
        request.sizes.push_back(size);
    }
    return request;
}

// Every size is drawn from the vector source, never scaled from another bitmap, so each
// one is as sharp as its pixel grid allows.
QImage render(QSvgRenderer& svg, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    svg.render(&painter, QRectF(0, 0, size, size));
    painter.end();
    return image;
}

bool writeSize(QSvgRenderer& svg, const Request& request, int size)
{
    const QString dir = QStringLiteral("%1/%2x%2/apps").arg(request.output).arg(size);
    if (!QDir().mkpath(dir)) {
        complain(QStringLiteral("cannot create %1").arg(dir));
        return false;
    }
    const QString file = QStringLiteral("%1/%2.png").arg(dir, request.name);
    if (!render(svg, size).save(file, "PNG")) {
        complain(QStringLiteral("cannot write %1").arg(file));
        return false;
    }
    return true;
}

void putLittleEndian(QByteArray& out, quint32 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// An icon file: a header, one directory entry per size, then each size as a PNG image,
// which Windows reads in .ico files since Vista. A size of 256 is written as 0.
bool writeIco(QSvgRenderer& svg, const Request& request)
{
    std::vector<QByteArray> images;
    for (const int size : request.sizes) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        render(svg, size).save(&buffer, "PNG");
        images.push_back(png);
    }
    QByteArray out;
    putLittleEndian(out, 0, 2); // reserved
    putLittleEndian(out, 1, 2); // an icon, not a cursor
    putLittleEndian(out, static_cast<quint32>(images.size()), 2);
    quint32 offset = static_cast<quint32>(6 + 16 * images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        const quint32 side = static_cast<quint32>(request.sizes[i] % 256);
        putLittleEndian(out, side, 1);
        putLittleEndian(out, side, 1);
        putLittleEndian(out, 0, 2);  // no palette, reserved
        putLittleEndian(out, 1, 2);  // planes
        putLittleEndian(out, 32, 2); // bits per pixel
        putLittleEndian(out, static_cast<quint32>(images[i].size()), 4);
        putLittleEndian(out, offset, 4);
        offset += static_cast<quint32>(images[i].size());
    }
    for (const QByteArray& image : images)
        out.append(image);
    QFile file(request.output);
    if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size() || !file.flush()) {
        complain(QStringLiteral("cannot write %1").arg(request.output));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const std::optional<Request> request = parse(argc, argv);
    if (!request)
        return 2;
    QSvgRenderer svg(request->svg);
    if (!svg.isValid()) {
        complain(QStringLiteral("not a usable SVG picture: %1").arg(request->svg));
        return 1;
    }
    if (request->ico)
        return writeIco(svg, *request) ? 0 : 1;
    for (const int size : request->sizes)
        if (!writeSize(svg, *request, size))
            return 1;
    return 0;
}
