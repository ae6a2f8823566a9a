#pragma once

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// The open-file dialog with one check box (and a label) of the program's
// own below the dialog's standard controls. It is Qt's own file dialog,
// never the desktop's native one, because only Qt's can take a widget.
// Filters are given as "Description|patterns|Description|patterns" with
// patterns separated by ";" and a 1-based filter index.
class TKXOpenDialog {
public:
    explicit TKXOpenDialog(QWidget* parent = nullptr);
    ~TKXOpenDialog();
    TKXOpenDialog(const TKXOpenDialog&) = delete;
    TKXOpenDialog& operator=(const TKXOpenDialog&) = delete;

    const QString& Filter() const { return fFilter; }
    void SetFilter(const QString& filter) { fFilter = filter; }
    int FilterIndex() const { return fFilterIndex; }
    void SetFilterIndex(int index) { fFilterIndex = index; }
    const QString& InitialDir() const { return fInitialDir; }
    void SetInitialDir(const QString& dir) { fInitialDir = dir; }
    // Before: the name proposed (bare or with a folder); after: the chosen file.
    const QString& FileName() const { return fFileName; }
    void SetFileName(const QString& name) { fFileName = name; }
    const QString& Title() const { return fTitle; }
    void SetTitle(const QString& title) { fTitle = title; }

    // The dialog is about to show: the handler sets the check box up. The
    // box shows only when this is assigned.
    std::function<void(TKXOpenDialog& sender, QCheckBox& box)> OnGetCheckParams;
    // The user confirmed a file (not after a cancel): the box's state.
    std::function<void(TKXOpenDialog& sender, bool checked)> OnGetChecked;
    // The folder shown changed: its path, and the label to tell about it.
    std::function<void(TKXOpenDialog& sender, const QString& folder, QLabel& label)> OnGetFileInfo;

    // Shows the dialog modally; true when the user chose a file.
    bool Execute();

    // The parts of Execute for a caller that shows the dialog itself:
    // Prepare builds it (and asks for the check box's set-up); when the
    // dialog finishes, FileName, FilterIndex and OnGetChecked are brought up
    // to date and Accepted tells the outcome.
    QFileDialog* Prepare();
    QFileDialog* Dialog() const { return fDialog; }
    QCheckBox* CheckBox() const { return fCheck.data(); }
    QLabel* Label() const { return fLabel.data(); }
    bool Accepted() const { return fAccepted; }

    // "Desc|*.a; *.b|..." as Qt's name filters "Desc (*.a *.b)".
    static QStringList NameFilters(const QString& filter);

private:
    void Finished(int result);

    QPointer<QWidget> fParent;
    QString fFilter;
    int fFilterIndex = 1;
    QString fInitialDir;
    QString fFileName;
    QString fTitle;
    QPointer<QFileDialog> fDialog;
    QPointer<QCheckBox> fCheck;
    QPointer<QLabel> fLabel;
    bool fAccepted = false;
};
