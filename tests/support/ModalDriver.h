#pragma once

// Drives the modal windows of a window test as a user answers them.
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <vector>

// Answers the modal windows as they come up, one handler each, in order. A
// handler returns false for a window it did not expect; that window, and
// one no handler is left for, is noted and closed, so a run never hangs.
// Handlers run from a queued call: one may open a further modal window.
class TModalDriver : public QObject {
public:
    using THandler = std::function<bool(QWidget* modal)>;
    explicit TModalDriver(std::vector<THandler> handlers) : fHandlers(std::move(handlers)) {
        connect(&fTimer, &QTimer::timeout, this, [this] { Poll(); });
        fTimer.start(10);
    }
    // A message box, its text kept in `text`, closed with its OK.
    static THandler Box(QString* text) {
        return [text](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box) return false;
            if (text) *text = box->text();
            box->accept();
            return true;
        };
    }
    int Handled() const { return fHandled; }
    const QStringList& Unexpected() const { return fUnexpected; }

private:
    void Poll() {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || !w->isVisible() || w == fLast.data()) return;
        fLast = w;
        QPointer<QWidget> modal(w);
        QTimer::singleShot(0, this, [this, modal] {
            if (!modal) return;
            if (fNext < fHandlers.size() && fHandlers[fNext++](modal.data())) {
                ++fHandled;
                return;
            }
            auto* box = qobject_cast<QMessageBox*>(modal.data());
            fUnexpected << QString::fromUtf8(modal->metaObject()->className()) +
                               QStringLiteral(": ") + (box ? box->text() : modal->windowTitle());
            if (auto* dialog = qobject_cast<QDialog*>(modal.data())) dialog->reject();
        });
    }

    std::vector<THandler> fHandlers;
    size_t fNext = 0;
    int fHandled = 0;
    QPointer<QWidget> fLast;
    QStringList fUnexpected;
    QTimer fTimer;
};
