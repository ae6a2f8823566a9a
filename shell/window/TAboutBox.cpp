#include "shell/window/TAboutBox.h"

#include "controls/TKXButton.h"
#include "controls/Utf8Text.h"
#include "data/engines/BdeUtils.h"
#include "data/platform/ODBCUtils.h"
#include "data/platform/VersionUtils.h"
#include "shell/InfoRequest.h"
#include "shell/MailClient.h"
#include "shell/SystemVersion.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QStyle>
#include <QUrl>
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

TAboutBox::TAboutBox(bool bdeLoaded, QWidget* parent) : QDialog(parent) {
    setWindowTitle(Q("About..."));
    setFixedSize(356, 298);
    auto* column = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(QApplication::windowIcon().isNull()
                        ? style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32)
                        : QApplication::windowIcon().pixmap(32, 32));
    auto* title = new QLabel(Q("Tabulon  ") + ToQString(ProgramVersion()), this);
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
    Links << Link(links, Q("tabulon@kessmark.example"), *this)
          << Link(links, Q("https://kessmark.example/tabulon"), *this);
    lc->addWidget(Links[0]);
    lc->addWidget(Links[1]);
    lc->addWidget(new QLabel(Q("Try our table designer as well:"), links));
    Links << Link(links, Q("https://kessmark.example/designer"), *this);
    lc->addWidget(Links[2]);
    column->addWidget(links);

    auto* versions = new QFrame(this);
    versions->setFrameShape(QFrame::StyledPanel);
    auto* vc = new QVBoxLayout(versions);
    Versions = new QLabel(VersionsText(bdeLoaded), versions);
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
}

QString TAboutBox::VersionsText(bool bdeLoaded) {
#ifdef _WIN32
    const QString os = Q("Windows ") + ToQString(GetWindowsVersionName());
#else
    // The system's own name and version (Debian GNU/Linux 12 (bookworm)).
    const QString os = ToQString(GetWindowsVersionName());
#endif
    // Both engines are part of the program here: no registry entry or
    // library of their own, their version is the program's.
    const QString builtIn = ToQString(ProgramVersion()) + Q(" (built in)");
    const QString ado = ToQString(GetADOVersion());
    const QString bdePath = ToQString(GetBDEDllPath()).trimmed();
    const QString bde = !bdePath.isEmpty() ? ToQString(GetFileVersionString(ToUtf8(bdePath)))
                        : bdeLoaded        ? builtIn
                                    : ToQString(ProgramVersion()) + Q(" (built in, not started)");
    QString odbc = ToQString(ODBCVersion());
    // "03.52.0002.0003": ODBC 3.52 from the manager's release 2.3; the
    // library's file version alone (2.0.0) is not what a user quotes.
    const QStringList dm = ToQString(ODBCDriverManagerVersion()).split(QLatin1Char('.'));
    if (!odbc.isEmpty() && dm.size() == 4) {
        auto number = [](const QString& part) { return QString::number(part.toInt()); };
        odbc += Q(" (unixODBC ") + number(dm[2]) + QLatin1Char('.') + number(dm[3]) + Q(", ODBC ") +
                number(dm[0]) + QLatin1Char('.') + dm[1] + QLatin1Char(')');
    }
    return Q("OS:       ") + os + Q("\nADO ver:  ") + (ado.isEmpty() ? builtIn : ado) +
           Q("\nBDE ver:  ") + bde + Q("\nODBC ver: ") + odbc;
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease && watched->property("link").toBool())
        OpenLink(static_cast<QLabel*>(watched)->text());
    return QDialog::eventFilter(watched, event);
}

void TAboutBox::OpenLink(const QString& caption) {
    if (caption.contains(QLatin1Char('@'))) {
        if (!SendMail(caption, QString(), QString(), QString()))
            QMessageBox::warning(this, Q("Tabulon"),
                                 Q("No e-mail program is set up on this desktop to write to ") +
                                     caption + QLatin1Char('.'));
        return;
    }
    if (!OpenWithDesktop(QUrl(caption, QUrl::StrictMode)))
        QMessageBox::warning(this, Q("Tabulon"),
                             Q("No web browser could be started for ") + caption +
                                 QLatin1Char('.'));
}
