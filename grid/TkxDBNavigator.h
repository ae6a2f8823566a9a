#pragma once

#include "controls/Align.h"
#include "controls/ButtonFace.h"
#include "grid/TkxNavigateBtn.h"

#include <QStringList>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class TDataSet;
class TDataSource;
class TkxNavButton;
class TkxNavDataLink;

// The record bar: ten flat buttons (first, prior, next, last, insert,
// delete, edit, post, cancel, refresh) that drive the dataset of a data
// source and are enabled by what it can do now.
class TkxDBNavigator : public QWidget {
    Q_OBJECT
public:
    explicit TkxDBNavigator(QWidget* parent = nullptr);
    ~TkxDBNavigator() override;

    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* source);
    TkxButtonSet VisibleButtons() const { return fVisible; }
    void SetVisibleButtons(TkxButtonSet buttons);
    bool Flat() const { return fFlat; }
    void SetFlat(bool v);
    bool Shadowed() const { return fShadowed; }
    void SetShadowed(bool v);
    TkxBtnForm EdgeForm() const { return fEdgeForm; }
    void SetEdgeForm(TkxBtnForm form);
    int HiLightMode() const { return fHiLightMode; }
    void SetHiLightMode(int mode);
    // Lines replace the default hints of the buttons in order; an empty line
    // keeps the default. A list equal to the defaults is stored as none.
    const QStringList& Hints() const { return fHints; }
    void SetHints(const QStringList& hints);
    static QStringList DefaultHints();
    bool ShowHint() const { return fShowHint; }
    void SetShowHint(bool v);
    bool ConfirmDelete() const { return fConfirmDelete; }
    void SetConfirmDelete(bool v) { fConfirmDelete = v; }
    TAlign Align() const { return fAlign; }
    void SetAlign(TAlign align);
    // Takes the keyboard focus on a click and by Tab.
    bool TabStop() const { return fTabStop; }
    void SetTabStop(bool v);

    // Before a button's action, and after it when it did not fail.
    std::function<void(TkxDBNavigator& sender, TkxNavigateBtn button)> BeforeAction;
    std::function<void(TkxDBNavigator& sender, TkxNavigateBtn button)> OnClick;
    // Asks the user to confirm (the delete); true for OK. The default is a
    // message box with OK and Cancel.
    std::function<bool(TkxDBNavigator& sender, const QString& question)> OnConfirm;

    // Performs a button's action on the dataset (also callable by code);
    // a failing dataset operation raises and OnClick is not raised.
    virtual void BtnClick(TkxNavigateBtn index);

    TkxNavButton* Button(TkxNavigateBtn index) const {
        return fButtons[static_cast<size_t>(index)];
    }
    TkxNavigateBtn FocusedButton() const { return fFocused; }
    // The width every visible button has at least.
    int ButtonWidth() const { return fButtonWidth; }
    // Sets position and size after the size rules (usable before the
    // navigator is shown, when Qt holds resize events back).
    void SetBounds(int x, int y, int width, int height);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // From the buttons and the data link.
    void ButtonPressed(TkxNavButton& button);
    void ActiveChanged();  // enables all
    void DataChanged();    // enables the moves
    void EditingChanged(); // enables the edits

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The dataset while the bar is enabled and the link active, else none.
    TDataSet* WorkingDataSet() const;
    int VisibleCount() const;
    void AdjustSize(int& width, int& height) const;
    void ApplySizeRules();
    void LayoutButtons();
    void InstallHints();
    void FollowParent();
    void SetFocusedButton(TkxNavigateBtn index);
    bool Confirm(const QString& question);

    std::array<TkxNavButton*, NavButtonCount> fButtons{};
    TkxButtonSet fVisible = AllNavButtons();
    bool fFlat = false;
    bool fShadowed = true;
    TkxBtnForm fEdgeForm = efRect;
    int fHiLightMode = 0;
    QStringList fHints;
    bool fShowHint = true;
    bool fConfirmDelete = true;
    TAlign fAlign = alNone;
    bool fTabStop = false;
    TkxNavigateBtn fFocused = nbFirst;
    int fButtonWidth = 20;
    bool fLaying = false;
    std::unique_ptr<TkxNavDataLink> fDataLink;
};
