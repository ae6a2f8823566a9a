#pragma once
#include <QDialog>
#include <QList>
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
    static QString VersionsText(bool bdeLoaded = true);
    // A link label's click: a new message to an address in the mail
    // program, a web address in the browser; a box says when neither could
    // be started.
    void OpenLink(const QString& caption);
    QLabel* Versions = nullptr;
    QList<QLabel*> Links;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
