#include "controls/TKXOpenDialog.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QCompleter>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>

TKXOpenDialog::TKXOpenDialog(QWidget* parent) : fParent(parent) {}

TKXOpenDialog::~TKXOpenDialog() {
    delete fDialog.data();
}

QStringList TKXOpenDialog::NameFilters(const QString& filter) {
    QStringList out;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts))
            if (!p.trimmed().isEmpty()) patterns << p.trimmed();
        // The description keeps its own text; the patterns Qt filters by
        // follow in the last parentheses, which the dialog does not show.
        out << parts[i].trimmed() + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                   QLatin1Char(')');
    }
    return out;
}

QFileDialog* TKXOpenDialog::Prepare() {
    delete fDialog.data();
    fAccepted = false;
    auto* dlg = new QFileDialog(fParent, fTitle);
    fDialog = dlg;
    dlg->setOption(QFileDialog::DontUseNativeDialog, true);
    dlg->setOption(QFileDialog::HideNameFilterDetails, true);
    dlg->setAcceptMode(QFileDialog::AcceptOpen);
    dlg->setFileMode(QFileDialog::ExistingFile);
    const QStringList filters = NameFilters(fFilter);
    if (!filters.isEmpty()) {
        dlg->setNameFilters(filters);
        const int index = fFilterIndex >= 1 && fFilterIndex <= filters.size() ? fFilterIndex : 1;
        dlg->selectNameFilter(filters[index - 1]);
    }
    QString dir = fInitialDir;
    if (dir.isEmpty() && !fFileName.isEmpty()) dir = QFileInfo(fFileName).absolutePath();
    if (!dir.isEmpty()) dlg->setDirectory(dir);
    if (!fFileName.isEmpty()) dlg->selectFile(fFileName);

    // The program's panel, borderless, below the standard controls.
    auto* panel = new QWidget(dlg);
    panel->setObjectName(QStringLiteral("kxCheckPanel"));
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 0, 0, 0);
    fCheck = new QCheckBox(panel);
    fCheck->setChecked(false);
    fLabel = new QLabel(panel);
    fLabel->hide();
    row->addWidget(fCheck);
    row->addWidget(fLabel, 1);
    if (auto* grid = qobject_cast<QGridLayout*>(dlg->layout()))
        grid->addWidget(panel, grid->rowCount(), 0, 1, grid->columnCount());
    fCheck->setVisible(static_cast<bool>(OnGetCheckParams));
    if (OnGetCheckParams) OnGetCheckParams(*this, *fCheck);

    QObject::connect(dlg, &QFileDialog::directoryEntered, dlg, [this](const QString& folder) {
        if (OnGetFileInfo && fLabel) OnGetFileInfo(*this, folder, *fLabel);
    });
    QObject::connect(dlg, &QDialog::finished, dlg, [this](int result) { Finished(result); });
    return dlg;
}

void TKXOpenDialog::Finished(int result) {
    fAccepted = result == QDialog::Accepted;
    // The name box's completion list is a window of its own: after the
    // Enter that accepted a typed name it stayed on screen over the main
    // window, holding the mouse, and took the next click.
    if (fDialog)
        for (QCompleter* completer : fDialog->findChildren<QCompleter*>())
            if (completer->popup()) completer->popup()->hide();
    if (!fAccepted || !fDialog) return;
    const QStringList files = fDialog->selectedFiles();
    if (!files.isEmpty()) fFileName = QDir::toNativeSeparators(files.first());
    // With the patterns hidden the dialog names the chosen filter by its
    // description alone.
    const QStringList filters = fDialog->nameFilters();
    const QString chosen = fDialog->selectedNameFilter();
    for (qsizetype i = 0; i < filters.size(); ++i)
        if (filters[i] == chosen || filters[i].startsWith(chosen + QStringLiteral(" ("))) {
            fFilterIndex = static_cast<int>(i) + 1;
            break;
        }
    fInitialDir = fDialog->directory().absolutePath();
    if (OnGetChecked && fCheck) OnGetChecked(*this, fCheck->isChecked());
}

bool TKXOpenDialog::Execute() {
    QFileDialog* dlg = Prepare();
    dlg->exec();
    return fAccepted;
}
