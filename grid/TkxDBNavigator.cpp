#include "grid/TkxDBNavigator.h"

#include "controls/ErrorDisplay.h"
#include "controls/Glyphs.h"
#include "data/dataset/DataSource.h"
#include "grid/TkxNavButton.h"
#include "grid/TkxNavDataLink.h"

#include <QKeyEvent>
#include <QMessageBox>

#include <algorithm>

namespace {
constexpr int MinButtonWidth = 20;
constexpr int MinButtonHeight = 18;

size_t At(TkxNavigateBtn b) {
    return static_cast<size_t>(b);
}
} // namespace

TkxDBNavigator::TkxDBNavigator(QWidget* parent)
    : QWidget(parent), fDataLink(std::make_unique<TkxNavDataLink>(this)) {
    setAutoFillBackground(true);
    setFocusPolicy(Qt::NoFocus);
    for (int i = 0; i < NavButtonCount; ++i) {
        const auto index = static_cast<TkxNavigateBtn>(i);
        auto* b = new TkxNavButton(this, index);
        b->setGeometry(i * MinButtonWidth, 0, MinButtonWidth, MinButtonHeight);
        b->SetFlat(fFlat);
        b->SetEdgeForm(fEdgeForm);
        b->SetHiLightMode(fHiLightMode);
        b->SetShadowed(fShadowed);
        b->SetGlyphMaker([i](qreal dpr) { return NavigatorGlyph(i, dpr); });
        b->SetAutoRepeat(index == nbPrior || index == nbNext);
        b->OnClick = [this, index](QObject&) { BtnClick(index); };
        b->setVisible(fVisible.test(At(index)));
        fButtons[At(index)] = b;
    }
    InstallHints();
    resize(241, 25);
    ApplySizeRules();
    ActiveChanged();
}

TkxDBNavigator::~TkxDBNavigator() {
    // The link first, so that no dataset event reaches a navigator that is
    // going.
    fDataLink.reset();
}

TDataSource* TkxDBNavigator::DataSource() const {
    return fDataLink->DataSource();
}

void TkxDBNavigator::SetDataSource(TDataSource* source) {
    fDataLink->SetDataSource(source);
    ActiveChanged();
}

void TkxDBNavigator::SetVisibleButtons(TkxButtonSet buttons) {
    if (buttons == fVisible) return;
    fVisible = buttons;
    for (int i = 0; i < NavButtonCount; ++i)
        fButtons[static_cast<size_t>(i)]->setVisible(fVisible.test(static_cast<size_t>(i)));
    ApplySizeRules();
}

void TkxDBNavigator::SetFlat(bool v) {
    if (v == fFlat) return;
    fFlat = v;
    for (TkxNavButton* b : fButtons)
        b->SetFlat(v);
}

void TkxDBNavigator::SetShadowed(bool v) {
    if (v == fShadowed) return;
    for (TkxNavButton* b : fButtons)
        b->SetShadowed(v);
    // The buttons refuse shading on a palette screen; so does the bar.
    fShadowed = fButtons[0]->Shadowed();
}

void TkxDBNavigator::SetEdgeForm(TkxBtnForm form) {
    if (form == fEdgeForm) return;
    fEdgeForm = form;
    for (TkxNavButton* b : fButtons)
        b->SetEdgeForm(form);
}

void TkxDBNavigator::SetHiLightMode(int mode) {
    mode = std::clamp(mode, 0, 3);
    if (mode == fHiLightMode) return;
    fHiLightMode = mode;
    for (TkxNavButton* b : fButtons)
        b->SetHiLightMode(mode);
}

QStringList TkxDBNavigator::DefaultHints() {
    return {QStringLiteral("First record"),  QStringLiteral("Prior record"),
            QStringLiteral("Next record"),   QStringLiteral("Last record"),
            QStringLiteral("Insert record"), QStringLiteral("Delete record"),
            QStringLiteral("Edit record"),   QStringLiteral("Post edit"),
            QStringLiteral("Cancel edit"),   QStringLiteral("Refresh data")};
}

void TkxDBNavigator::SetHints(const QStringList& hints) {
    fHints = hints == DefaultHints() ? QStringList() : hints;
    InstallHints();
}

void TkxDBNavigator::InstallHints() {
    const QStringList defaults = DefaultHints();
    for (int i = 0; i < NavButtonCount; ++i) {
        QString hint = defaults[i];
        if (i < fHints.size() && !fHints[i].isEmpty()) hint = fHints[i];
        fButtons[static_cast<size_t>(i)]->SetHint(hint);
    }
}

void TkxDBNavigator::SetShowHint(bool v) {
    if (v == fShowHint) return;
    fShowHint = v;
    for (TkxNavButton* b : fButtons)
        b->SetShowHint(v);
}

void TkxDBNavigator::SetAlign(TAlign align) {
    if (align == fAlign) return;
    fAlign = align;
    if (QWidget* parent = parentWidget()) {
        parent->removeEventFilter(this);
        if (fAlign != alNone && fAlign != alCustom) parent->installEventFilter(this);
    }
    FollowParent();
    ApplySizeRules();
}

void TkxDBNavigator::SetTabStop(bool v) {
    fTabStop = v;
    setFocusPolicy(v ? Qt::StrongFocus : Qt::NoFocus);
}

bool TkxDBNavigator::Confirm(const QString& question) {
    if (OnConfirm) return OnConfirm(*this, question);
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), question,
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    return box.exec() == QMessageBox::Ok;
}

void TkxDBNavigator::BtnClick(TkxNavigateBtn index) {
    TDataSource* source = DataSource();
    if (source && source->DataSet() && source->State() != dsInactive) {
        if (BeforeAction) BeforeAction(*this, index);
        TDataSet& ds = *source->DataSet();
        switch (index) {
        case nbFirst:
            ds.First();
            break;
        case nbPrior:
            ds.Prior();
            break;
        case nbNext:
            ds.Next();
            break;
        case nbLast:
            ds.Last();
            break;
        case nbInsert:
            ds.Insert();
            break;
        case nbDelete:
            if (!fConfirmDelete || Confirm(QStringLiteral("Delete record?"))) ds.Delete();
            break;
        case nbEdit:
            ds.Edit();
            break;
        case nbPost:
            ds.Post();
            break;
        case nbCancel:
            ds.Cancel();
            break;
        case nbRefresh:
            ds.Refresh();
            break;
        }
    }
    if (OnClick) OnClick(*this, index);
}

TDataSet* TkxDBNavigator::WorkingDataSet() const {
    TDataSet* ds = fDataLink->DataSet();
    return ds && isEnabled() && fDataLink->Active() ? ds : nullptr;
}

void TkxDBNavigator::ActiveChanged() {
    if (!WorkingDataSet()) {
        for (TkxNavButton* b : fButtons)
            b->setEnabled(false);
        return;
    }
    DataChanged();
    EditingChanged();
}

void TkxDBNavigator::DataChanged() {
    TDataSet* ds = WorkingDataSet();
    const bool up = ds && !ds->Bof();
    const bool down = ds && !ds->Eof();
    Button(nbFirst)->setEnabled(up);
    Button(nbPrior)->setEnabled(up);
    Button(nbNext)->setEnabled(down);
    Button(nbLast)->setEnabled(down);
    Button(nbDelete)->setEnabled(ds && ds->CanModify() && !(ds->Bof() && ds->Eof()));
}

void TkxDBNavigator::EditingChanged() {
    TDataSet* ds = WorkingDataSet();
    const bool m = ds && ds->CanModify();
    const TDataSetState state = ds ? ds->State() : dsInactive;
    const bool editing = state == dsEdit || state == dsInsert;
    Button(nbInsert)->setEnabled(m);
    Button(nbRefresh)->setEnabled(m);
    Button(nbEdit)->setEnabled(m && !editing);
    Button(nbPost)->setEnabled(m && editing);
    Button(nbCancel)->setEnabled(m && editing);
}

void TkxDBNavigator::ButtonPressed(TkxNavButton& button) {
    const TkxNavigateBtn old = fFocused;
    fFocused = button.Index();
    if (fTabStop && !hasFocus()) {
        if (isVisible() && isEnabled()) setFocus(Qt::MouseFocusReason);
    } else if (hasFocus() && old != fFocused) {
        Button(old)->update();
        Button(fFocused)->update();
    }
}

void TkxDBNavigator::SetFocusedButton(TkxNavigateBtn index) {
    if (index == fFocused) return;
    const TkxNavigateBtn old = fFocused;
    fFocused = index;
    Button(old)->update();
    Button(fFocused)->update();
}

void TkxDBNavigator::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Space:
        if (Button(fFocused)->isEnabled()) RunGuarded([this] { Button(fFocused)->Click(); });
        break;
    case Qt::Key_Left:
        for (int i = fFocused - 1; i >= nbFirst; --i)
            if (fVisible.test(static_cast<size_t>(i))) {
                SetFocusedButton(static_cast<TkxNavigateBtn>(i));
                break;
            }
        break;
    case Qt::Key_Right:
        for (int i = fFocused + 1; i <= nbRefresh; ++i)
            if (fVisible.test(static_cast<size_t>(i))) {
                SetFocusedButton(static_cast<TkxNavigateBtn>(i));
                break;
            }
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TkxDBNavigator::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    Button(fFocused)->update();
}

void TkxDBNavigator::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    Button(fFocused)->update();
}

void TkxDBNavigator::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) ActiveChanged();
    QWidget::changeEvent(event);
}

bool TkxDBNavigator::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize) FollowParent();
    return QWidget::eventFilter(watched, event);
}

int TkxDBNavigator::VisibleCount() const {
    return std::max(1, static_cast<int>(fVisible.count()));
}

void TkxDBNavigator::AdjustSize(int& width, int& height) const {
    const int n = VisibleCount();
    width = std::max(width, n * MinButtonWidth);
    height = std::max(height, MinButtonHeight);
    // Left alone, the bar is a whole number of equal buttons wide.
    if (fAlign == alNone) width = width / n * n;
}

void TkxDBNavigator::ApplySizeRules() {
    if (fLaying) return;
    fLaying = true;
    const int n = VisibleCount();
    setMinimumSize(n * MinButtonWidth, MinButtonHeight);
    int w = width(), h = height();
    AdjustSize(w, h);
    if (w != width() || h != height()) resize(w, h);
    fLaying = false;
    LayoutButtons();
}

void TkxDBNavigator::SetBounds(int x, int y, int width, int height) {
    const int n = VisibleCount();
    setMinimumSize(n * MinButtonWidth, MinButtonHeight);
    AdjustSize(width, height);
    fLaying = true;
    setGeometry(x, y, width, height);
    fLaying = false;
    LayoutButtons();
}

void TkxDBNavigator::LayoutButtons() {
    const int n = VisibleCount();
    const int w = width(), h = height();
    fButtonWidth = w / n;
    // What does not divide evenly goes one pixel at a time to buttons
    // spread along the bar.
    const int remainder = w - n * fButtonWidth;
    int counter = n / 2;
    int x = 0;
    for (int i = 0; i < NavButtonCount; ++i) {
        TkxNavButton* b = fButtons[static_cast<size_t>(i)];
        if (fVisible.test(static_cast<size_t>(i))) {
            int bw = fButtonWidth;
            counter -= remainder;
            if (counter < 0) {
                counter += n;
                ++bw;
            }
            b->setGeometry(x, 0, bw, h);
            x += bw;
        } else {
            b->setGeometry(w + 1, 0, fButtonWidth, h);
        }
    }
}

void TkxDBNavigator::FollowParent() {
    QWidget* parent = parentWidget();
    if (!parent) return;
    const int pw = parent->width(), ph = parent->height();
    switch (fAlign) {
    case alTop:
        SetBounds(0, 0, pw, height());
        break;
    case alBottom:
        SetBounds(0, ph - height(), pw, height());
        break;
    case alLeft:
        SetBounds(0, 0, width(), ph);
        break;
    case alRight:
        SetBounds(pw - width(), 0, width(), ph);
        break;
    case alClient:
        SetBounds(0, 0, pw, ph);
        break;
    case alNone:
    case alCustom:
        break;
    }
}

void TkxDBNavigator::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (fLaying) {
        LayoutButtons();
        return;
    }
    ApplySizeRules();
}

QSize TkxDBNavigator::sizeHint() const {
    return size();
}

QSize TkxDBNavigator::minimumSizeHint() const {
    return {VisibleCount() * MinButtonWidth, MinButtonHeight};
}
