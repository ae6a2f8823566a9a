#include "shell/DesktopClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <stdexcept>

void TDesktopClipboard::Open() {
    fText.clear();
    fPlaced = false;
}

void TDesktopClipboard::SetAsHandle(TClipboardFormat format, std::string_view bytes) {
    if (format != CF_TEXT) return;
    // The 8-bit text ends with its zero byte, which is no part of the text.
    if (!bytes.empty() && bytes.back() == '\0') bytes.remove_suffix(1);
    fText.assign(bytes);
    fPlaced = true;
}

void TDesktopClipboard::Close() {
    if (!fPlaced) return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) throw std::runtime_error("The clipboard is not available");
    auto* data = new QMimeData;
    const QByteArray bytes(fText.data(), static_cast<qsizetype>(fText.size()));
    data->setText(QString::fromUtf8(bytes));
    data->setData(QStringLiteral("text/plain;charset=utf-8"), bytes);
    clipboard->setMimeData(data);
    fText.clear();
    fText.shrink_to_fit();
    fPlaced = false;
}
