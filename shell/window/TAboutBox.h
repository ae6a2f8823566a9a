#pragma once
#include <QDialog>
#include <QString>
#include <functional>

class QLabel;

// The about box: the product, its links, and the versions of the pieces a
// table's opening depends on (what a user quotes in a report).
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(bool bdeLoaded, QWidget* parent = nullptr);

    // The versions text, four lines: operating system, both engines, ODBC.
    static QString VersionsText();
    // The target of a link label's text: "mailto:" before an address.
    static QString LinkTarget(const QString& caption);
    // Opens a link; the window gives its own.
    std::function<void(const QString& url)> OpenUrl;
    QLabel* Versions = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
