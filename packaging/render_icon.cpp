// Build-time tool: renders the SVG icon to PNGs for the desktop's hicolor icon theme.
// Usage: orvelane_render_icon ICON.svg OUTPUT-DIR NAME SIZE...
// writes OUTPUT-DIR/<SIZE>x<SIZE>/apps/NAME.png for every SIZE.
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>

#include <cstdio>
#include <optional>
#include <vector>

namespace {

struct Request {
    QString svg;
    QString outputDir;
    QString name;
    std::vector<int> sizes;
};

void complain(const QString& message)
{
    std::fprintf(stderr, "orvelane_render_icon: %s\n", qPrintable(message));
}

std::optional<Request> parse(int argc, char** argv)
{
    if (argc < 5) {
        complain(QStringLiteral("usage: orvelane_render_icon ICON.svg OUTPUT-DIR NAME SIZE..."));
        return std::nullopt;
    }
    Request request{QString::fromLocal8Bit(argv[1]),
                    QString::fromLocal8Bit(argv[2]),
                    QString::fromLocal8Bit(argv[3]),
                    {}};
    for (int i = 4; i < argc; ++i) {
        bool ok = false;
        const int size = QString::fromLocal8Bit(argv[i]).toInt(&ok);
        if (!ok || size < 1 || size > 4096) {
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
    const QString dir = QStringLiteral("%1/%2x%2/apps").arg(request.outputDir).arg(size);
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
    for (const int size : request->sizes)
        if (!writeSize(svg, *request, size))
            return 1;
    return 0;
}
