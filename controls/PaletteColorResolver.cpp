#include "controls/PaletteColorResolver.h"

#include "controls/ColorConversion.h"

#include <QEvent>
#include <QGuiApplication>
#include <QObject>

namespace {
struct TRole {
    QPalette::ColorGroup Group;
    QPalette::ColorRole Role;
};

// By system colour index; NoRole where the palette has nothing that fits.
constexpr TRole Roles[SystemColorCount] = {
    {QPalette::Active, QPalette::Button},          // scroll bar
    {QPalette::Active, QPalette::NoRole},          // desktop
    {QPalette::Active, QPalette::Highlight},       // active caption
    {QPalette::Active, QPalette::NoRole},          // inactive caption
    {QPalette::Active, QPalette::Window},          // menu
    {QPalette::Active, QPalette::Base},            // window
    {QPalette::Active, QPalette::Shadow},          // window frame
    {QPalette::Active, QPalette::WindowText},      // menu text
    {QPalette::Active, QPalette::Text},            // window text
    {QPalette::Active, QPalette::HighlightedText}, // caption text
    {QPalette::Active, QPalette::Window},          // active border
    {QPalette::Active, QPalette::Window},          // inactive border
    {QPalette::Active, QPalette::Mid},             // application workspace
    {QPalette::Active, QPalette::Highlight},       // highlight
    {QPalette::Active, QPalette::HighlightedText}, // highlight text
    {QPalette::Active, QPalette::Button},          // button face
    {QPalette::Active, QPalette::Dark},            // button shadow
    {QPalette::Disabled, QPalette::WindowText},    // grey text
    {QPalette::Active, QPalette::ButtonText},      // button text
    {QPalette::Active, QPalette::NoRole},          // inactive caption text
    {QPalette::Active, QPalette::Light},           // button highlight
    {QPalette::Active, QPalette::Shadow},          // 3D dark shadow
    {QPalette::Active, QPalette::Midlight},        // 3D light
    {QPalette::Active, QPalette::ToolTipText},     // tooltip text
    {QPalette::Active, QPalette::ToolTipBase},     // tooltip background
};

// Keeps the installed resolver in step with the application's palette.
class TPaletteFollower : public QObject {
public:
    TPaletteFollower() {
        Resolver.SetPalette(QGuiApplication::palette());
        SetSystemColorResolver(&Resolver);
    }
    ~TPaletteFollower() override;
    TPaletteColorResolver Resolver;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange)
            Resolver.SetPalette(QGuiApplication::palette());
        return false;
    }
};
TPaletteFollower* gFollower = nullptr;

TPaletteFollower::~TPaletteFollower() {
    SetSystemColorResolver(nullptr);
    gFollower = nullptr;
}
} // namespace

bool TPaletteColorResolver::Resolve(int index, TColor& rgb) const {
    if (index < 0 || index >= SystemColorCount) return false;
    const TRole& r = Roles[index];
    if (r.Role == QPalette::NoRole) return false;
    rgb = ToTColor(fPalette.color(r.Group, r.Role));
    return true;
}

void InstallApplicationPaletteResolver() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app) return;
    if (gFollower) return;
    // Owned by the application, so it goes when the application does; the
    // classic scheme takes over again then.
    gFollower = new TPaletteFollower;
    gFollower->setParent(app);
    app->installEventFilter(gFollower);
}
