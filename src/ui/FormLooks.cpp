#include "FormLooks.h"

#include <QAbstractScrollArea>
#include <QFont>
#include <QLabel>
#include <QVariant>
#include <QWidget>

namespace FormLooks {

namespace {

const QColor kButtonFace(192, 192, 192);
const QColor kGreyText(128, 128, 128);

void applyFont(QWidget* widget)
{
    const QVariant pixelSize = widget->property("pixelSize");
    if (!pixelSize.isValid())
        return;
    QFont font = widget->font();
    font.setPixelSize(pixelSize.toInt());
    widget->setFont(font);
}

void applyColours(QWidget* widget)
{
    const QVariant text = widget->property("textColor");
    const QVariant background = widget->property("backgroundColor");
    if (!text.isValid() && !background.isValid())
        return;
    QPalette palette = widget->palette();
    const bool keepWhenDisabled = widget->property("keepColorsWhenDisabled").toBool();
    if (text.isValid()) {
        const QColor colour(text.toString());
        for (auto group : {QPalette::Active, QPalette::Inactive}) {
            palette.setColor(group, QPalette::WindowText, colour);
            palette.setColor(group, QPalette::Text, colour);
            palette.setColor(group, QPalette::ButtonText, colour);
        }
        const QColor disabled = keepWhenDisabled ? colour : kGreyText;
        palette.setColor(QPalette::Disabled, QPalette::WindowText, disabled);
        palette.setColor(QPalette::Disabled, QPalette::Text, disabled);
        palette.setColor(QPalette::Disabled, QPalette::ButtonText, disabled);
    }
    if (background.isValid()) {
        const QColor colour(background.toString());
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            palette.setColor(group, QPalette::Window, colour);
            palette.setColor(group, QPalette::Base, colour);
        }
        widget->setAutoFillBackground(true);
        if (auto* area = qobject_cast<QAbstractScrollArea*>(widget))
            area->viewport()->setAutoFillBackground(true);
    }
    widget->setPalette(palette);
}

// A plain label is opaque: it fills its box with its parent's colour before its letters.
void applyOpacity(QWidget* widget)
{
    if (qstrcmp(widget->metaObject()->className(), "QLabel") != 0)
        return;
    widget->setAutoFillBackground(!widget->property("transparent").toBool());
}

} // namespace

QPalette classicPalette()
{
    QPalette palette(Qt::black, kButtonFace, Qt::white, kGreyText, kGreyText, Qt::black, Qt::white, Qt::white,
                     kButtonFace);
    palette.setColor(QPalette::Shadow, Qt::black);
    palette.setColor(QPalette::Highlight, QColor(0, 0, 128));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, QColor(255, 255, 225));
    palette.setColor(QPalette::ToolTipText, Qt::black);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, kGreyText);
    palette.setColor(QPalette::Disabled, QPalette::Base, kButtonFace);
    return palette;
}

QColor greyText()
{
    return kGreyText;
}

void apply(QWidget* form)
{
    // Parents first, so a child's palette starts from its parent's colours.
    QList<QWidget*> widgets{form};
    widgets += form->findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
        applyFont(widget);
        applyColours(widget);
        applyOpacity(widget);
    }
}

void installFontSubstitutes()
{
    // "MS Sans Serif" is a bitmap face of the same metrics family as Arial at these sizes;
    // without a substitute Qt picks DejaVu Sans, which runs wide.
    QFont::insertSubstitutions("MS Sans Serif", {"Liberation Sans", "Arial"});
    QFont::insertSubstitutions("Arial", {"Liberation Sans"});
    QFont::insertSubstitutions("Times New Roman", {"Liberation Serif"});
}

} // namespace FormLooks
