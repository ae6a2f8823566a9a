#include "controls/VisualStyle.h"

#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWidget>

QStyle* StyleOf(const QWidget* themeWindow) {
    return themeWindow ? themeWindow->style() : QApplication::style();
}

bool IsThemeActive(const QWidget* themeWindow) {
    const QStyle* style = StyleOf(themeWindow);
    // A proxy (also the one style sheets put in between) looks like its base.
    while (const auto* proxy = qobject_cast<const QProxyStyle*>(style)) {
        if (!proxy->baseStyle() || proxy->baseStyle() == style) break;
        style = proxy->baseStyle();
    }
    return !style || style->name().compare(QLatin1String("windows"), Qt::CaseInsensitive) != 0;
}

void DrawThemeButtonBackground(QPainter& canvas, const QWidget* themeWindow, const QRect& rect,
                               TkxThemeButtonState state) {
    QStyle* style = StyleOf(themeWindow);
    QStyleOptionButton opt;
    opt.rect = rect;
    opt.palette = themeWindow ? themeWindow->palette() : QApplication::palette();
    opt.state = QStyle::State_None;
    if (state != pbsDisabled) opt.state |= QStyle::State_Enabled;
    switch (state) {
    case pbsPressed:
        opt.state |= QStyle::State_Sunken;
        break;
    case pbsHot:
        opt.state |= QStyle::State_MouseOver | QStyle::State_Raised;
        break;
    case pbsDefaulted:
        opt.state |= QStyle::State_HasFocus | QStyle::State_Raised;
        opt.features |= QStyleOptionButton::DefaultButton;
        break;
    default:
        opt.state |= QStyle::State_Raised;
        break;
    }
    style->drawControl(QStyle::CE_PushButtonBevel, &opt, &canvas, themeWindow);
}
