#include "shell/window/TAboutBox.h"

#include "controls/TKXButton.h"
#include "controls/Utf8Text.h"
#include "data/engines/BdeUtils.h"
#include "data/platform/ODBCUtils.h"
#include "data/platform/VersionUtils.h"
#include "shell/InfoRequest.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QSysInfo>
#include <QVBoxLayout>

namespace {
QString Q(const char* text) {
    return QString::fromUtf8(text);
}

QLabel* Link(QWidget* parent, const QString& caption, TAboutBox& box) {
    auto* l = new QLabel(caption, parent);
    l->setStyleSheet(Q("color: blue;"));
    l->setCursor(Qt::PointingHandCursor);
    l->setTextInteractionFlags(Qt::NoTextInteraction);
    l->installEventFilter(&box);
    l->setProperty("link", true);
    return l;
}

} // namespace

TAboutBox::TAboutBox(bool, QWidget* parent) : QDialog(parent) {
    setWindowTitle(Q("About..."));
    setFixedSize(356, 298);
    auto* column = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(QApplication::windowIcon().isNull()
                        ? style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32)
                        : QApplication::windowIcon().pixmap(32, 32));
    auto* title = new QLabel(
        Q("Tabulon  ") + ToQString(VersionText()).section(QLatin1Char(' '), -1).trimmed(), this);
    QFont tf(Q("Impact"));
    tf.setBold(true);
    tf.setPixelSize(21);
    title->setFont(tf);
    top->addWidget(icon);
    top->addWidget(title, 1);
    column->addLayout(top);

    auto* links = new QFrame(this);
    links->setFrameShape(QFrame::StyledPanel);
    auto* lc = new QVBoxLayout(links);
    lc->addWidget(new QLabel(Q("Free table viewer and exporter."), links));
    lc->addWidget(Link(links, Q("tabulon@kessmark.example"), *this));
    lc->addWidget(Link(links, Q("https://kessmark.example/tabulon"), *this));
    lc->addWidget(new QLabel(Q("Try our table designer as well:"), links));
    lc->addWidget(Link(links, Q("https://kessmark.example/designer"), *this));
    column->addWidget(links);

    auto* versions = new QFrame(this);
    versions->setFrameShape(QFrame::StyledPanel);
    auto* vc = new QVBoxLayout(versions);
    Versions = new QLabel(VersionsText(), versions);
    QFont mono(Q("Courier New"));
    mono.setStyleHint(QFont::Monospace);
    Versions->setFont(mono);
    Versions->setTextInteractionFlags(Qt::TextSelectableByMouse);
    vc->addWidget(Versions);
    column->addWidget(versions);

    auto* ok = new TKXButton(this);
    ok->setText(Q("OK"));
    ok->setFixedSize(75, 25);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(ok);
    bottom->addStretch(1);
    column->addLayout(bottom);
    OpenUrl = [](const QString&) {};
}

QString TAboutBox::VersionsText() {
    // The system's own name and version (Debian GNU/Linux 12 (bookworm)),
    // never a Windows claim on Linux.
    const QString os = QSysInfo::prettyProductName();
    const QString ado = ToQString(GetADOVersion());
    const QString bdePath = ToQString(GetBDEDllPath()).trimmed();
    const QString bde =
        bdePath.isEmpty() ? Q("?") : ToQString(GetFileVersionString(ToUtf8(bdePath)));
    return Q("OS:       ") + os + Q("\nADO ver:  ") + (ado.isEmpty() ? Q("?") : ado) +
           Q("\nBDE ver:  ") + bde + Q("\nODBC ver: ") + ToQString(ODBCVersion());
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease && watched->property("link").toBool())
        OpenUrl(LinkTarget(static_cast<QLabel*>(watched)->text()));
    return QDialog::eventFilter(watched, event);
}

QString TAboutBox::LinkTarget(const QString& caption) {
    return caption.contains(QLatin1Char('@')) ? Q("mailto:") + caption : caption;
}
